// The progress window of a processing run: which document (k of N) and its path, a bar
// for the run as a whole and one for the current document.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "win/controls.h"
#include "win/form.h"

namespace kv {

// The progress window of a processing run.
class frmProgress : public win::Form {
public:
    win::Label Label1, lblCurrent, lblFile;
    win::PictureBox picTopMaster, picTopMinor, picBottomMaster, picBottomMinor;
    win::CommandButton cmdCancel;

    // The number of files of the run; set right after loading, before showing.
    void MaxFiles(std::int32_t n);
    // A new document begins.
    void StartNewFile(const std::wstring& path);
    // The share of the current document done so far (0 to 100, a little above at the
    // end of an encryption: the bar is then simply full).
    void FileProgress(std::int32_t m_Percent);
    // `times` consecutive reports of the same value, as the cipher batches them.
    void FileProgress(std::int32_t m_Percent, std::uint64_t times);

    // Cancel (the button, or Esc while any window of the program has the focus) asks the
    // run to stop; the run reads the request between documents, the cipher inside a large
    // one.
    void cmdCancel_Click();
    bool CancelRequested() const { return cancel_.load(); }
    const std::atomic<bool>& CancelFlag() const { return cancel_; }

    // What the window has been told, for the run's callers and tests.
    std::int32_t FileCount() const { return n_; }
    std::int32_t FilesStarted() const { return k_; }
    const std::wstring& CurrentPath() const { return path_; }
    std::uint64_t ReportsReceived() const { return reports_; }
    std::int32_t LastPercent() const { return lastPercent_; }
    // How often the window was repainted and let messages through for the reports.
    std::uint64_t Refreshes() const { return refreshes_; }
    // Paints what the window has been told now, if a repaint was put off; the run calls it
    // before the window goes.
    void ShowLatest();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
    void Form_Unload() override;

private:
    // Fill width for value/total of the frame's width, kept within a sane range.
    static int FillWidth(int frameWidth, double value, double total);
    void Refresh(bool force);
    // Documents that follow each other faster than the window repaints are shown together:
    // the window keeps the latest name, count and share, and its controls take them with
    // the next repaint.
    void ShowHeld();
    void MoveDocumentBar();

    std::int32_t n_ = 0;
    std::int32_t k_ = 0;
    std::wstring path_;
    std::uint64_t reports_ = 0;
    std::int32_t lastPercent_ = 0;
    int shownWidth_ = -1;      // bottom fill width last painted, in pixels
    std::uint64_t lastRefresh_ = 0;  // tick count of the last repaint
    std::uint64_t refreshes_ = 0;
    bool held_ = false;  // a document not yet shown by the controls
    std::atomic<bool> cancel_{false};
};

}  // namespace kv
