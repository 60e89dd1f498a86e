#include "CWinApp.h"

#include "CWnd.h"

namespace {
// The one application object of the module, as the framework's windows need it.
CWinApp* currentApp = nullptr;
}  // namespace

CWinApp::CWinApp(LPCWSTR appName) : instance_(ModuleOfAddress(&currentApp)), appName_(appName) { currentApp = this; }

CWinApp::~CWinApp() {
    if (currentApp == this) currentApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

BOOL CWinApp::PreTranslateMessage(MSG* msg) { return CWnd::WalkPreTranslateTree(msg); }

const MessageMap* CWinApp::ThisMessageMap() {
    static const MessageMap map{CCmdTarget::ThisMessageMap(), nullptr, 0};
    return &map;
}

const MessageMap* CWinApp::GetMessageMap() const { return ThisMessageMap(); }

CWinApp* CWinApp::Current() { return currentApp; }
