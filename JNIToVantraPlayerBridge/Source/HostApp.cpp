#include "HostApp.h"

const MessageMap* HostApp::GetMessageMap() const {
    static const MessageMap map{CWinApp::ThisMessageMap(), nullptr, 0};
    return &map;
}

BOOL HostApp::InitInstance() {
    CWinApp::InitInstance();
    return TRUE;
}
