#include "CmdTarget.h"

#include <exception>

const MessageMap* CCmdTarget::ThisMessageMap() {
  static constexpr MessageMap map{nullptr};
  return &map;
}

const MessageEntry* FindMessageEntry(const MessageMap* map, UINT message, UINT id, UINT code) {
  const bool matchesIdAndCode = message == WM_COMMAND || message == WM_NOTIFY || message == WM_REFLECTED_NOTIFY;
  for (; map != nullptr; map = map->base ? map->base() : nullptr) {
    for (size_t i = 0; i < map->count; ++i) {
      const MessageEntry& entry = map->first[i];
      if (entry.message != message) continue;
      if (matchesIdAndCode && (entry.id != id || entry.code != code)) continue;
      return &entry;
    }
  }
  return nullptr;
}

bool CCmdTarget::Dispatch(UINT message, UINT id, UINT code, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const MessageEntry* entry = FindMessageEntry(GetMessageMap(), message, id, code);
  if (entry == nullptr) return false;
  result = entry->thunk(*this, wParam, lParam);
  return true;
}

bool CCmdTarget::OnCmdMsg(UINT id, UINT code) {
  LRESULT ignored = 0;
  return Dispatch(WM_COMMAND, id, code, MAKEWPARAM(id, code), 0, ignored);
}

void AfxUnhandledException() { std::terminate(); }
