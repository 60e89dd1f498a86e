// Message maps and command routing, shared by windows and the application.
//
// A message map is a static table of (message, handler) entries that chains
// to the table of the base class. A class declares its table like this:
//
//   const MessageMap* CMyWnd::GetMessageMap() const {
//       static const MessageMapEntry entries[] = {
//           {WM_SIZE, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT {
//                return static_cast<CMyWnd&>(t).OnSize(w, l); }},
//       };
//       static const MessageMap map{CWnd::ThisMessageMap(), entries, std::size(entries)};
//       return &map;
//   }
//
// Entries whose message is WM_COMMAND handle one command identifier each and
// are reached through command routing (OnCmdMsg), not as window messages.
#pragma once

#include "Platform.h"

#include <cstddef>

class CCmdTarget;

struct MessageMapEntry {
    UINT message;
    UINT commandId;  // WM_COMMAND entries only
    LRESULT (*handler)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMap* base;
    const MessageMapEntry* entries;
    size_t count;

    // The first entry for the message (and command), searching base maps too.
    const MessageMapEntry* Find(UINT message, UINT commandId) const;
};

class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    virtual const MessageMap* GetMessageMap() const;
    static const MessageMap* ThisMessageMap();

    // Runs the handler of a command in this target's map; false when none.
    virtual bool OnCmdMsg(UINT commandId, WPARAM wParam, LPARAM lParam);
};
