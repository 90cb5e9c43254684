#include "win/printing.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "win/handle.h"
#include "win/system_library.h"
#include "win/text.h"

namespace kv::win {

// ---- Printer: the layout ---------------------------------------------------------------

Printer::Printer(std::unique_ptr<PrintDevice> device, std::wstring documentName, std::wstring whyNot)
    : device_(std::move(device)), documentName_(std::move(documentName)) {
    if (!device_) {
        failed_ = true;
        reason_ = whyNot.empty() ? L"No printer is available." : std::move(whyNot);
    }
}

Printer::~Printer() {
    // A document that was started and never ended must not stay in the spooler half done.
    if (device_ && started_ && !ended_ && !failed_) device_->AbortDocument();
}

void Printer::Fail(std::wstring reason) {
    if (failed_) return;
    failed_ = true;
    reason_ = std::move(reason);
    if (started_) device_->AbortDocument();
}

bool Printer::Ready() {
    if (failed_) return false;
    if (!started_) {
        if (!device_->StartDocument(documentName_)) {
            Fail(device_->Error());
            return false;
        }
        started_ = true;
    }
    if (!pageOpen_) {
        if (!device_->StartPage()) {
            Fail(device_->Error());
            return false;
        }
        pageOpen_ = true;
        fontApplied_ = false;  // a new page starts with the device's default font
        y_ = 0;
    }
    if (!fontApplied_) {
        if (!device_->SelectFont(font_)) {
            Fail(device_->Error());
            return false;
        }
        fontApplied_ = true;
    }
    return true;
}

void Printer::SetFont(const PrintFont& font) {
    font_ = font;
    fontApplied_ = false;  // selected on the device with the next line
}

void Printer::Print(std::wstring_view text) {
    // Each line ends at CR LF, a lone CR or a lone LF; the text's own last line break does
    // not add an empty line after it, as printing "a" + CR LF prints one line.
    std::size_t from = 0;
    do {
        std::size_t end = text.find_first_of(L"\r\n", from);
        const std::wstring_view line = text.substr(from, end == std::wstring_view::npos ? text.npos : end - from);
        PrintOneLine(line);
        if (end == std::wstring_view::npos) break;
        end += (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ? 2 : 1;
        from = end;
    } while (from < text.size());
}

void Printer::PrintOneLine(std::wstring_view line) {
    if (!Ready()) return;
    std::wstring_view rest = line;
    do {
        const int height = device_->LineHeight();
        if (y_ > 0 && y_ + height > device_->PageHeight()) {
            // The next line would run past the bottom: continue on a new page.
            if (!device_->EndPage()) return Fail(device_->Error());
            pageOpen_ = false;
            if (!Ready()) return;
        }
        std::size_t take = rest.size();
        if (!rest.empty()) {
            const std::size_t fit = device_->FitChars(rest, device_->PageWidth());
            if (fit < rest.size()) {
                take = std::max<std::size_t>(fit, 1);
                const std::size_t blank = rest.substr(0, take).find_last_of(L' ');
                if (blank != std::wstring_view::npos && blank > 0) take = blank + 1;
            }
            if (!device_->PutText(0, y_, rest.substr(0, take))) return Fail(device_->Error());
        }
        y_ += device_->LineHeight();
        rest.remove_prefix(take);
    } while (!rest.empty());
}

PrintOutcome Printer::EndDoc() {
    if (!failed_ && !started_) Fail(L"There was nothing to print.");
    if (!failed_ && pageOpen_) {
        if (!device_->EndPage()) Fail(device_->Error());
        pageOpen_ = false;
    }
    if (!failed_ && !device_->EndDocument()) Fail(device_->Error());
    ended_ = true;
    if (failed_) return {false, reason_};
    return {true, {}};
}

// ---- the default printer through GDI ---------------------------------------------------

namespace {

class GdiPrintDevice : public PrintDevice {
public:
    GdiPrintDevice(std::wstring printerName, HDC dc) : printerName_(std::move(printerName)), dc_(dc) {}
    ~GdiPrintDevice() override {
        if (docOpen_) ::AbortDoc(dc_.get());
        if (oldFont_) ::SelectObject(dc_.get(), oldFont_);
    }

    bool StartDocument(const std::wstring& documentName) override {
        DOCINFOW info{};
        info.cbSize = sizeof(info);
        info.lpszDocName = documentName.c_str();
        if (::StartDocW(dc_.get(), &info) <= 0) return Failed(L"did not accept the document");
        docOpen_ = true;
        return true;
    }
    bool StartPage() override {
        if (::StartPage(dc_.get()) <= 0) return Failed(L"could not start a page");
        ::SetBkMode(dc_.get(), TRANSPARENT);
        ::SetTextAlign(dc_.get(), TA_TOP | TA_LEFT | TA_NOUPDATECP);
        return true;
    }
    bool EndPage() override {
        if (::EndPage(dc_.get()) <= 0) return Failed(L"could not finish a page");
        return true;
    }
    bool EndDocument() override {
        const bool ok = ::EndDoc(dc_.get()) > 0;
        docOpen_ = false;
        return ok || Failed(L"could not finish the document");
    }
    void AbortDocument() override {
        if (docOpen_) ::AbortDoc(dc_.get());
        docOpen_ = false;
    }
    bool SelectFont(const PrintFont& font) override {
        LOGFONTW lf{};
        const int dpiY = ::GetDeviceCaps(dc_.get(), LOGPIXELSY);
        lf.lfHeight = -static_cast<LONG>(std::lround(font.points * dpiY / 72.0));
        lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = font.italic;
        lf.lfUnderline = font.underline;
        lf.lfStrikeOut = font.strikethrough;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfOutPrecision = OUT_TT_PRECIS;
        lf.lfQuality = DEFAULT_QUALITY;
        lstrcpynW(lf.lfFaceName, font.name.c_str(), LF_FACESIZE);
        FontHandle created(::CreateFontIndirectW(&lf));
        if (!created) return Failed(L"could not use the font " + font.name);
        HGDIOBJ previous = ::SelectObject(dc_.get(), created.get());
        if (!previous || previous == HGDI_ERROR) return Failed(L"could not use the font " + font.name);
        if (!oldFont_) oldFont_ = previous;
        font_ = std::move(created);  // the font selected before is no longer in the DC
        return true;
    }
    int LineHeight() override {
        TEXTMETRICW tm{};
        if (!::GetTextMetricsW(dc_.get(), &tm)) return 1;
        return std::max<int>(1, tm.tmHeight + tm.tmExternalLeading);
    }
    int PageWidth() override { return ::GetDeviceCaps(dc_.get(), HORZRES); }
    int PageHeight() override { return ::GetDeviceCaps(dc_.get(), VERTRES); }
    std::size_t FitChars(std::wstring_view text, int width) override {
        int fit = 0;
        SIZE size{};
        const int count = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
        if (!::GetTextExtentExPointW(dc_.get(), text.data(), count, width, &fit, nullptr, &size))
            return text.size();
        return static_cast<std::size_t>(std::max(fit, 0));
    }
    bool PutText(int x, int y, std::wstring_view text) override {
        const int count = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
        if (!::TextOutW(dc_.get(), x, y, text.data(), count)) return Failed(L"could not print a line");
        return true;
    }
    std::wstring Error() const override { return error_; }

private:
    bool Failed(const std::wstring& what) {
        const DWORD code = ::GetLastError();
        error_ = L"The printer \"" + printerName_ + L"\" " + what + L".";
        if (code != ERROR_SUCCESS) error_ += L" " + SystemErrorText(code);
        return false;
    }

    std::wstring printerName_;
    DcHandle dc_;
    FontHandle font_;
    HGDIOBJ oldFont_ = nullptr;
    bool docOpen_ = false;
    std::wstring error_;
};

PrintDeviceFactory& Factory() {
    static PrintDeviceFactory factory;
    return factory;
}

}  // namespace

std::unique_ptr<PrintDevice> OpenDefaultPrintDevice(std::wstring& whyNot) {
    // The spooler's functions live in winspool.drv, which is not a known DLL: taken from the
    // system folder on demand rather than imported, so no file beside the program is loaded.
    const auto getDefaultPrinter = SystemProc<decltype(&::GetDefaultPrinterW)>(L"winspool.drv", "GetDefaultPrinterW");
    if (!getDefaultPrinter) {
        whyNot = L"The printing service could not be loaded. " + SystemErrorText(::GetLastError());
        return nullptr;
    }
    DWORD size = 0;
    getDefaultPrinter(nullptr, &size);
    std::wstring name(size ? size : 1, L'\0');
    if (size == 0 || !getDefaultPrinter(name.data(), &size)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_INVALID_NAME || code == ERROR_SUCCESS)
            whyNot = L"No printer is installed.";
        else
            whyNot = L"The default printer could not be found. " + SystemErrorText(code);
        return nullptr;
    }
    name.resize(wcslen(name.c_str()));
    HDC dc = ::CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr);
    if (!dc) {
        const DWORD code = ::GetLastError();
        whyNot = L"The printer \"" + name + L"\" could not be opened.";
        if (code != ERROR_SUCCESS) whyNot += L" " + SystemErrorText(code);
        return nullptr;
    }
    return std::make_unique<GdiPrintDevice>(name, dc);
}

void SetPrintDeviceFactory(PrintDeviceFactory factory) { Factory() = std::move(factory); }

std::unique_ptr<Printer> OpenDefaultPrinter(const std::wstring& documentName) {
    std::wstring whyNot;
    std::unique_ptr<PrintDevice> device = Factory() ? Factory()(whyNot) : OpenDefaultPrintDevice(whyNot);
    return std::make_unique<Printer>(std::move(device), documentName, whyNot);
}

// ---- the recording device ----------------------------------------------------------------

RecordingPrintDevice::RecordingPrintDevice(std::shared_ptr<Log> log, int pageWidth, int pageHeight, int charWidth,
                                           std::wstring failAt)
    : log_(std::move(log)), pageWidth_(pageWidth), pageHeight_(pageHeight), charWidth_(std::max(charWidth, 1)),
      failAt_(std::move(failAt)) {}

bool RecordingPrintDevice::Step(const wchar_t* name) {
    if (failAt_ != name) return true;
    error_ = std::wstring(L"The printer failed at ") + name + L".";
    return false;
}

bool RecordingPrintDevice::StartDocument(const std::wstring& documentName) {
    if (!Step(L"StartDocument")) return false;
    log_->documentName = documentName;
    log_->started = true;
    return true;
}

bool RecordingPrintDevice::StartPage() {
    if (!Step(L"StartPage")) return false;
    ++log_->pagesStarted;
    return true;
}

bool RecordingPrintDevice::EndPage() {
    if (!Step(L"EndPage")) return false;
    ++log_->pagesEnded;
    return true;
}

bool RecordingPrintDevice::EndDocument() {
    if (!Step(L"EndDocument")) return false;
    log_->ended = true;
    return true;
}

void RecordingPrintDevice::AbortDocument() { log_->aborted = true; }

bool RecordingPrintDevice::SelectFont(const PrintFont& font) {
    font_ = font;
    return true;
}

int RecordingPrintDevice::LineHeight() { return std::max(1, static_cast<int>(std::lround(font_.points))); }

std::size_t RecordingPrintDevice::FitChars(std::wstring_view text, int width) {
    return std::min<std::size_t>(text.size(), static_cast<std::size_t>(std::max(width, 0) / charWidth_));
}

bool RecordingPrintDevice::PutText(int x, int y, std::wstring_view text) {
    if (!Step(L"PutText")) return false;
    log_->lines.push_back({log_->pagesStarted, y, font_, std::wstring(text)});
    return true;
}

}  // namespace kv::win
