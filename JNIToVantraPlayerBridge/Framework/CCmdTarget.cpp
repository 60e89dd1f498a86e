#include "CCmdTarget.h"

const MessageMapEntry* MessageMap::Find(UINT message, UINT commandId) const {
    for (const MessageMap* map = this; map; map = map->base) {
        for (size_t i = 0; i < map->count; ++i) {
            const MessageMapEntry& entry = map->entries[i];
            if (entry.message == message && (message != WM_COMMAND || entry.commandId == commandId)) return &entry;
        }
    }
    return nullptr;
}

const MessageMap* CCmdTarget::ThisMessageMap() {
    static const MessageMap map{nullptr, nullptr, 0};
    return &map;
}

const MessageMap* CCmdTarget::GetMessageMap() const { return ThisMessageMap(); }

bool CCmdTarget::OnCmdMsg(UINT commandId, WPARAM wParam, LPARAM lParam) {
    const MessageMapEntry* entry = GetMessageMap()->Find(WM_COMMAND, commandId);
    if (!entry) return false;
    entry->handler(*this, wParam, lParam);
    return true;
}
