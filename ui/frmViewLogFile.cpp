#include "ui/frmViewLogFile.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "core/action_log_writer.h"
#include "core/DataLock.h"
#include "core/Globals.h"
#include "core/Navigation.h"
#include "core/action_log.h"
#include "ui/log_text.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/files.h"
#include "win/handle.h"
#include "win/printing.h"
#include "win/text.h"

namespace kv {

namespace {

using win::CR;

std::wstring Lines(std::wstring_view first, const std::wstring& second) {
    std::wstring text(first);
    text += CR;
    text += second;
    return text;
}

bool LogExists() {
    const std::wstring& path = Globals::LogFilePath;
    return Globals::FileSystem ? Globals::FileSystem->FileExists(path) : win::FileExists(path);
}

win::FsStatus ReadLog(std::string& raw) {
    std::vector<std::uint8_t> bytes;
    if (const win::FsStatus error = win::ReadWholeFile(Globals::LogFilePath, bytes); !error.ok()) return error;
    raw.assign(bytes.begin(), bytes.end());
    return {};
}

}  // namespace

std::optional<std::wstring> KeepNewestLogEntries(const std::wstring& logPath, bool* truncated) {
    *truncated = false;
    const DataFileLock lock(logPath, kLogLockPatienceMs);
    if (!lock.Acquired()) return win::StatusOf(ERROR_LOCK_VIOLATION, logPath + L" is in use").text;
    std::vector<std::uint8_t> bytes;
    if (const win::FsStatus error = win::ReadWholeFile(logPath, bytes); !error.ok()) return error.text;
    const std::optional<std::string> kept = TruncatedLogContent(std::string_view(
        reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!kept) return std::nullopt;
    bytes.assign(kept->begin(), kept->end());
    const std::wstring temp = LogTempPath(logPath);
    if (const win::FsStatus error = win::WriteFileAtomically(logPath, bytes, temp); !error.ok()) {
        // Name the file that failed: the temporary one while it is written, else the log.
        const bool replacing = error.text.rfind(L"could not be replaced", 0) == 0;
        return (replacing ? logPath : temp) + L" " + error.text;
    }
    *truncated = true;
    return std::nullopt;
}

std::wstring GeneralDateNow() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t date[128] = {};
    wchar_t time[128] = {};
    ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128, nullptr);
    ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &now, nullptr, time, 128);
    const bool midnight = now.wHour == 0 && now.wMinute == 0 && now.wSecond == 0;
    return FormatLogStamp(date, time, midnight);
}

win::FormDesign frmViewLogFile::Design() const {
    return {.caption = L"Log File", .clientWidth = 9600, .clientHeight = 6000, .border = win::BorderStyle::Sizable,
            .centered = false};
}

void frmViewLogFile::CreateControls() {
    SetMenuBar({{L"mnuFile",
                 L"File",
                 {},
                 {{L"mnuPrint", L"Print", [this] { mnuPrint_Click(); }},
                  {L"mnuTruncate", L"Truncate Log File", [this] { mnuTruncate_Click(); }},
                  {L"mnuClose", L"Close", [this] { mnuClose_Click(); }}}}});
    const win::Container form{this, hwnd(), 0, 0};
    // A read-only view that draws only the lines on screen: a log of any length opens at once.
    txtLog.Create(form, std::wstring(kLogLoadingText), {0, 0, ClientWidth(), ClientHeight()}, {L"Courier New", 9});
}

void frmViewLogFile::Form_Load() {
    // Errors ignored, as the log viewer asks of its load, printing and resizing.
    win::IgnoreErrors([&] {
        // Top-left corner of the screen, as wide as the screen, 200 twips less high.
        ::SetWindowPos(hwnd(), nullptr, 0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                       ::GetSystemMetrics(SM_CYSCREEN) - Px(200), SWP_NOZORDER | SWP_NOACTIVATE);
        // Seen with "Loading Log File...Please Be Patient" while the log is read.
        Show();
    });
    win::DoEvents(14);
    if (!IsLoaded()) return;  // closed while it was coming up
    try {
        LoadLog();
    } catch (...) {
        // Never left saying it is loading: the user learns that the log could not be shown.
        const std::wstring why = win::DescribeException(std::current_exception());
        if (IsLoaded()) txtLog.SetText(std::wstring(kLogNotRead));
        win::MsgBox(Lines(kLogNotRead, why));
    }
}

void frmViewLogFile::NoLogFileFound() {
    win::MsgBox(std::wstring(kNoLogFileFound));
    txtLog.SetText(std::wstring(kNoLogFileFound));
}

void frmViewLogFile::LoadLog() {
    if (!LogExists()) return NoLogFileFound();
    std::string raw;
    if (const win::FsStatus error = ReadLog(raw); !error.ok()) {
        win::MsgBox(Lines(kLogNotRead, error.text));
        txtLog.SetText(std::wstring(kLogNotRead));
        return;
    }
    const LogView view = BuildLogView(raw);
    raw = {};
    txtLog.SetText(view.text);
    win::DoEvents(14);
    // A window closed while the log was loading asks nothing and truncates nothing.
    if (!IsLoaded()) return;
    if (OffersTruncation(view.entries) &&
        win::MsgBox(std::wstring(kLogTruncationOffer), win::MsgButtons::YesNo) == win::MsgResult::Yes)
        TruncateLogFile();
}

bool frmViewLogFile::StillAdministrator() {
    if (AdministratorStillAllowed()) return true;
    Unload();
    return false;
}

void frmViewLogFile::TruncateLogFile() {
    if (!StillAdministrator()) return;
    if (!LogExists()) return NoLogFileFound();
    std::string raw;
    if (const win::FsStatus error = ReadLog(raw); !error.ok()) return void(win::MsgBox(Lines(kLogNotTruncated, error.text)));
    const std::size_t count = SplitLogLines(raw).size();
    win::DoEvents(7);
    if (count <= kLogKeptEntries) return void(win::MsgBox(std::wstring(kNoTruncationNecessary)));

    // Read once more under the log's lock: an entry may have been appended while messages
    // were processed, and one appended by another copy from now on waits for the lock.
    raw = {};
    bool truncated = false;
    if (auto error = KeepNewestLogEntries(Globals::LogFilePath, &truncated))
        return void(win::MsgBox(Lines(kLogNotTruncated, *error)));
    if (!truncated) return void(win::MsgBox(std::wstring(kNoTruncationNecessary)));
    win::DoEvents(21);

    win::MsgBox(std::wstring(kTruncationComplete));
    LoadLog();
}

void frmViewLogFile::mnuTruncate_Click() {
    if (!StillAdministrator()) return;
    if (win::MsgBox(std::wstring(kLogTruncateConfirm), win::MsgButtons::YesNo) == win::MsgResult::Yes)
        TruncateLogFile();
}

void frmViewLogFile::mnuPrint_Click() {
    if (!StillAdministrator()) return;
    // Errors ignored, as the log viewer asks of its load, printing and resizing.
    win::IgnoreErrors([&] {
        const std::unique_ptr<win::Printer> printer = win::OpenDefaultPrinter(std::wstring(kLogPrintTitle));
        printer->SetFont({.name = L"Arial", .points = 12, .bold = true});
        printer->Print(kLogPrintTitle);
        printer->Print(std::wstring(kLogPrintedPrefix) + GeneralDateNow());
        win::PrintFont small = printer->Font();
        small.points = 8;
        small.bold = false;
        printer->SetFont(small);
        printer->Print(L" ");
        printer->Print(L" ");
        printer->Print(txtLog.Text());
        const win::PrintOutcome outcome = printer->EndDoc();
        win::DoEvents(3);
        // Only a job that reached the printer counts as printed.
        if (outcome.printed)
            win::MsgBox(std::wstring(kLogFilePrinted));
        else
            win::MsgBox(Lines(kLogNotPrinted, outcome.reason));
    });
}

void frmViewLogFile::mnuClose_Click() { Unload(); }

void frmViewLogFile::Form_Resize() {
    // Errors ignored, as the log viewer asks of its load, printing and resizing.
    win::IgnoreErrors([&] {
        if (::IsIconic(hwnd())) return;
        // The window's outer size less 200 twips across and 850 down: room for a thin
        // frame, the title and the menu bar. A thicker frame (Windows 10, a high dpi) or a
        // menu bar that wraps takes more: then the real frame is taken, so the box with its
        // scroll bars always lies whole inside the client area.
        const int width = std::min(Width() - 200, ClientWidth());
        const int height = std::min(Height() - 850, ClientHeight());
        // A window too small for the sums leaves the box as it was.
        if (width < 0 || height < 0) return;
        txtLog.Move({0, 0, width, height});
    });
}

void frmViewLogFile::Form_Unload() {
    txtLog.SetText(L"");
    win::DoEvents(2);
}

void ShowLogViewer() {
    try {
        if (frmViewLogFile* open = win::LoadedForm<frmViewLogFile>()) {
            ::SetForegroundWindow(open->hwnd());  // already up (opened again while loading)
            return;
        }
        if (!AdministratorStillAllowed()) return;
        win::TheForm<frmViewLogFile>().ShowModal();
    } catch (...) {
        win::ReportFailure(L"View Log File");
    }
}

}  // namespace kv
