// The application object: one per library, the end of command routing and
// the owner of message pre-translation.
#pragma once

#include "CCmdTarget.h"

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCWSTR appName = nullptr);
    ~CWinApp() override;

    // Called once after construction; a false result means start-up failed.
    virtual BOOL InitInstance();

    // Gives the windows from msg's window up to its top-level ancestor a
    // chance to translate the message; true when one of them did.
    virtual BOOL PreTranslateMessage(MSG* msg);

    const MessageMap* GetMessageMap() const override;
    static const MessageMap* ThisMessageMap();

    // The application object of this module, or null before one exists.
    static CWinApp* Current();

    HINSTANCE Instance() const { return instance_; }
    LPCWSTR AppName() const { return appName_; }

private:
    HINSTANCE instance_;
    LPCWSTR appName_;
};
