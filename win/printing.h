// Printing on the system's default printer with GDI, the way the program thinks of a
// printer: choose a font, print lines one under the other, end the document.
//
// Printer does the layout (line after line, wrapping a line wider than the page, a new
// page when the next line would run past the bottom, the font carried onto every page);
// a PrintDevice does the drawing. The real device is the default printer's DC; tests put a
// RecordingPrintDevice in its place and look at what would have been printed.
//
// A failing step does not stop the caller: the printer remembers the first failure, skips
// everything after it, and EndDoc tells whether the job reached the printer and, if not,
// why.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv::win {

struct PrintFont {
    std::wstring name = L"Arial";
    double points = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    bool operator==(const PrintFont&) const = default;
};

// One printing target. Every operation that can fail returns false and leaves the reason
// in Error(). Positions and sizes are in the device's units, (0, 0) being the top-left
// corner of the printable area.
class PrintDevice {
public:
    virtual ~PrintDevice() = default;
    virtual bool StartDocument(const std::wstring& documentName) = 0;
    virtual bool StartPage() = 0;
    virtual bool EndPage() = 0;
    virtual bool EndDocument() = 0;  // hands the finished job to the printer
    virtual void AbortDocument() = 0;
    virtual bool SelectFont(const PrintFont& font) = 0;
    virtual int LineHeight() = 0;  // of the selected font
    virtual int PageWidth() = 0;
    virtual int PageHeight() = 0;
    // How many leading characters of text fit into width with the selected font.
    virtual std::size_t FitChars(std::wstring_view text, int width) = 0;
    virtual bool PutText(int x, int y, std::wstring_view text) = 0;
    virtual std::wstring Error() const = 0;
};

struct PrintOutcome {
    bool printed = false;  // the job was handed to the printer
    std::wstring reason;   // why not, in words for the user
};

class Printer {
public:
    // A null device means there is no printer; whyNot says why.
    Printer(std::unique_ptr<PrintDevice> device, std::wstring documentName, std::wstring whyNot = {});
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    void SetFont(const PrintFont& font);
    const PrintFont& Font() const { return font_; }
    // Prints text as one line; CR LF, CR or LF inside it start further lines, and a line
    // wider than the page goes on below (broken after a blank where there is one). The
    // document and its first page start with the first print.
    void Print(std::wstring_view text);
    // Ends the document, so that it goes to the printer.
    PrintOutcome EndDoc();

private:
    void PrintOneLine(std::wstring_view line);
    void Fail(std::wstring reason);
    bool Ready();

    std::unique_ptr<PrintDevice> device_;
    std::wstring documentName_;
    PrintFont font_;
    bool fontApplied_ = false;
    bool started_ = false;
    bool pageOpen_ = false;
    bool ended_ = false;
    bool failed_ = false;
    std::wstring reason_;
    int y_ = 0;
};

// Opens a device on the system's default printer, or returns null with the reason.
std::unique_ptr<PrintDevice> OpenDefaultPrintDevice(std::wstring& whyNot);

// Where the program's printers come from: the default printer, unless a test installed a
// factory of its own (an empty function restores the default printer).
using PrintDeviceFactory = std::function<std::unique_ptr<PrintDevice>(std::wstring& whyNot)>;
void SetPrintDeviceFactory(PrintDeviceFactory factory);
std::unique_ptr<Printer> OpenDefaultPrinter(const std::wstring& documentName);

// A device that keeps what was printed: every line with its page, position and font.
// Pages are pageHeight units high, every character is charWidth wide and a line is as
// high as its font's size in points. failAt names one operation ("StartDocument", "StartPage",
// "EndPage", "EndDocument", "PutText") that fails.
class RecordingPrintDevice : public PrintDevice {
public:
    struct Line {
        int page = 0;  // from 1
        int y = 0;
        PrintFont font;
        std::wstring text;
    };
    struct Log {
        std::wstring documentName;
        std::vector<Line> lines;
        int pagesStarted = 0;
        int pagesEnded = 0;
        bool started = false;
        bool ended = false;
        bool aborted = false;
    };

    RecordingPrintDevice(std::shared_ptr<Log> log, int pageWidth = 1000, int pageHeight = 1000, int charWidth = 1,
                         std::wstring failAt = {});

    bool StartDocument(const std::wstring& documentName) override;
    bool StartPage() override;
    bool EndPage() override;
    bool EndDocument() override;
    void AbortDocument() override;
    bool SelectFont(const PrintFont& font) override;
    int LineHeight() override;
    int PageWidth() override { return pageWidth_; }
    int PageHeight() override { return pageHeight_; }
    std::size_t FitChars(std::wstring_view text, int width) override;
    bool PutText(int x, int y, std::wstring_view text) override;
    std::wstring Error() const override { return error_; }

private:
    bool Step(const wchar_t* name);

    std::shared_ptr<Log> log_;
    int pageWidth_, pageHeight_, charWidth_;
    std::wstring failAt_;
    std::wstring error_;
    PrintFont font_;
};

}  // namespace kv::win
