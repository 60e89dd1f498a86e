// The library's application object: the window framework needs one so that
// its windows work inside a library.
#pragma once

#include <CWinApp.h>

class HostApp : public CWinApp {
public:
    HostApp() : CWinApp(nullptr) {}
    const MessageMap* GetMessageMap() const override;
    BOOL InitInstance() override;
};
