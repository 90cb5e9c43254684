#include <map>

#include "win/form.h"

namespace kv::win {

void Form::SetMenuBar(std::vector<MenuItem> items) {
    menuItems_ = std::move(items);
    RebuildMenu();
}

MenuItem* Form::FindMenu(const std::wstring& name) {
    std::function<MenuItem*(std::vector<MenuItem>&)> find = [&](std::vector<MenuItem>& list) -> MenuItem* {
        for (auto& item : list) {
            if (item.name == name) return &item;
            if (MenuItem* child = find(item.children)) return child;
        }
        return nullptr;
    };
    return find(menuItems_);
}

const MenuItem* Form::FindMenu(const std::wstring& name) const { return const_cast<Form*>(this)->FindMenu(name); }

void Form::SetMenuVisible(const std::wstring& name, bool visible) {
    if (MenuItem* item = FindMenu(name)) {
        if (item->visible == visible) return;
        item->visible = visible;
        RebuildMenu();
    }
}

bool Form::MenuVisible(const std::wstring& name) const {
    const MenuItem* item = FindMenu(name);
    return item && item->visible;
}

bool Form::ClickMenu(const std::wstring& name) {
    MenuItem* item = FindMenu(name);
    if (!item || !item->visible || !item->enabled || !item->onClick) return false;
    auto action = item->onClick;
    action();
    return true;
}

namespace {

// Fills a menu from items; every action gets an id from `nextId` on.
void BuildMenu(HMENU menu, const std::vector<MenuItem>& items, UINT& nextId,
               std::map<UINT, std::function<void()>>& actions) {
    std::function<void(HMENU, const std::vector<MenuItem>&)> build = [&](HMENU into,
                                                                         const std::vector<MenuItem>& list) {
        for (const auto& item : list) {
            if (!item.visible) continue;
            if (item.caption == L"-") {
                ::AppendMenuW(into, MF_SEPARATOR, 0, nullptr);
            } else if (!item.children.empty()) {
                HMENU sub = ::CreatePopupMenu();
                build(sub, item.children);
                ::AppendMenuW(into, MF_POPUP | (item.enabled ? 0 : MF_GRAYED), reinterpret_cast<UINT_PTR>(sub),
                              item.caption.c_str());
            } else {
                const UINT id = nextId++;
                actions[id] = item.onClick;
                ::AppendMenuW(into, MF_STRING | (item.enabled ? 0 : MF_GRAYED), id, item.caption.c_str());
            }
        }
    };
    build(menu, items);
}

}  // namespace

bool Form::PopupMenu(const std::vector<MenuItem>& items, POINT screen) {
    if (!hwnd_) return false;
    HMENU menu = ::CreatePopupMenu();
    UINT nextId = 50000;
    std::map<UINT, std::function<void()>> actions;
    BuildMenu(menu, items, nextId, actions);
    ::SetForegroundWindow(hwnd_);
    const UINT chosen = static_cast<UINT>(::TrackPopupMenuEx(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, screen.x, screen.y, hwnd_, nullptr));
    ::DestroyMenu(menu);
    ::PostMessageW(hwnd_, WM_NULL, 0, 0);  // lets the menu's loop end cleanly, as the documentation asks
    auto it = actions.find(chosen);
    if (chosen == 0 || it == actions.end()) return false;
    if (it->second) {
        auto action = it->second;
        action();
    }
    return true;
}

void Form::RebuildMenu() {
    menuActions_.clear();
    UINT nextId = 40000;
    HMENU bar = menuItems_.empty() ? nullptr : ::CreateMenu();
    if (bar) BuildMenu(bar, menuItems_, nextId, menuActions_);
    HMENU old = menu_;
    menu_ = bar;
    if (hwnd_) {
        RECT client{};
        ::GetClientRect(hwnd_, &client);
        ::SetMenu(hwnd_, bar);
        // Keep the client area: a menu bar that appears or wraps must not eat into it.
        SetClientSize(Twips(client.right), Twips(client.bottom));
        ::DrawMenuBar(hwnd_);
    }
    if (old) ::DestroyMenu(old);
}

}  // namespace kv::win
