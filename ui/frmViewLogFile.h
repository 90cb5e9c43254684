// The action log viewer: the whole of KVL.txt decoded, oldest entry first, with printing
// and truncation to the 300 newest entries. Administrators open it modally from the
// working windows' "View Log File" items.
#pragma once

#include <optional>
#include <string>

#include "win/controls.h"
#include "win/text_view.h"
#include "win/form.h"

namespace kv {

// The action log viewer.
class frmViewLogFile : public win::Form {
public:
    win::TextView txtLog;

    // Reads, decodes and shows the log; offers a truncation when it holds over 1000 entries.
    void LoadLog();
    // Keeps the 300 newest entries: they go to KVLTEMP.txt beside the log, which is flushed
    // and then put in the log's place in one step, so the log is never without its entries.
    void TruncateLogFile();

    void mnuPrint_Click();
    void mnuTruncate_Click();
    void mnuClose_Click();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
    void Form_Resize() override;
    void Form_Unload() override;

private:
    void NoLogFileFound();
    // The logged-in user is still an administrator (read afresh); when not, the user has
    // been told why and the window closes.
    bool StillAdministrator();
};

// Keeps the 300 newest entries of the log at `logPath`: reads it and puts the kept lines
// in its place through KVLTEMP.txt, all under the log's lock, so an entry that another
// copy of the program appends meanwhile waits and lands in the shortened log. Returns the
// reason when it failed (the log is then as it was); *truncated is false when the log
// held no more than 300 entries.
std::optional<std::wstring> KeepNewestLogEntries(const std::wstring& logPath, bool* truncated);

// Opens the log viewer modally over the calling window and returns once it is closed.
void ShowLogViewer();

// The current local date and time in the general date format of the user's settings:
// short date, a blank, long time; the date alone at exactly midnight.
std::wstring GeneralDateNow();

}  // namespace kv
