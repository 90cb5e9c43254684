// The action log viewer: the whole of KVL.txt decoded, oldest entry first, with printing
// and truncation to the 300 newest entries. Administrators open it modally from the
// working windows' "View Log File" items.
#pragma once

#include <string>

#include "win/controls.h"
#include "win/text_view.h"
#include "win/form.h"

namespace kv {

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
};

// Opens the log viewer modally over the calling window and returns once it is closed.
void ShowLogViewer();

// The current local date and time in the general date format of the user's settings:
// short date, a blank, long time; the date alone at exactly midnight.
std::wstring GeneralDateNow();

}  // namespace kv
