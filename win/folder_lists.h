// A drive list and a folder list as installers place them side by side: the drive list
// shows the computer's drives ("c: [System]"), the folder list the chosen folder's chain of
// parents, the folder itself and its subfolders, indented by depth.
#pragma once

#include <string>
#include <vector>

#include "win/controls.h"

namespace kv::win {

// Drop-down list of the computer's drives. Change is raised whenever the chosen drive
// changes, by the user or by SetDrive.
class DriveListBox : public ComboBox {
public:
    void Create(const Container& where, const Rect& rect, const FontDesc& font = {});
    // The chosen entry as shown ("c: [System]"); its first two characters are the drive.
    std::wstring Drive() const;
    // Chooses the drive named by the text's first two characters ("C:", "c:\..."); false
    // when the computer has no such drive (nothing changes then).
    bool SetDrive(const std::wstring& text);
    void Refresh();  // reads the drives again, keeping the choice where it can

    void OnCommand(WORD code) override;
};

// The folder list. Path is the highlighted folder: clicking a line (or moving with the
// arrow keys) highlights it, double-clicking it or pressing Enter opens it, which lists its
// subfolders. Change is raised whenever Path changes.
class DirListBox : public ListBox {
public:
    void Create(const Container& where, const Rect& rect, const FontDesc& font = {});
    const std::wstring& Path() const { return path_; }
    // Opens a folder: false when it does not exist or cannot be listed (nothing changes).
    bool SetPath(const std::wstring& folder);
    // The folder of a line, "" outside the list.
    std::wstring FolderOfLine(int index) const;
    int ListIndex() const;

    void OnCommand(WORD code) override;

protected:
    LRESULT OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;

private:
    void Fill(const std::wstring& folder);
    void Highlight(int index);
    std::wstring path_;
    std::vector<std::wstring> folders_;  // one per line
};

// "C:\A\B" as the chain "C:\", "C:\A", "C:\A\B"; a share "\\s\x\A" as "\\s\x", "\\s\x\A".
std::vector<std::wstring> FolderChain(const std::wstring& folder);

}  // namespace kv::win
