#include "test_printer.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <memory>
#include <vector>

const char kTestPrinterName[] = "Orlivane Test Printer";

namespace {

const char kDriverName[] = "Orlivane Test PostScript";

// The least a PPD needs for Wine's driver: one paper with its printable area.
const char kPpd[] = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "ORLTEST.PPD"
*Manufacturer: "Orlivane"
*Product: "(Orlivane Test)"
*ModelName: "Orlivane Test PostScript"
*ShortNickName: "Orlivane Test PostScript"
*NickName: "Orlivane Test PostScript"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*DefaultResolution: 300dpi
*OpenUI *PageSize/Page Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion/Page Region: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "18 36 577 806"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*DefaultFont: Courier
*Font Courier: Standard "(002.004S)" Standard ROM
)PPD";

struct PrinterCloser {
    void operator()(HANDLE printer) const { ::ClosePrinter(printer); }
};
using PrinterHandle = std::unique_ptr<void, PrinterCloser>;

bool WritePpd(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fputs(kPpd, file) >= 0;
    return std::fclose(file) == 0 && ok;
}

bool InstallDriver()
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    std::string ppd = std::string(temp) + "orlivane-test-printer.ppd";
    if (!WritePpd(ppd))
        return false;

    DRIVER_INFO_3A driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<char*>(kDriverName);
    driver.pEnvironment = const_cast<char*>("Windows x64");
    driver.pDriverPath = const_cast<char*>("wineps.drv");
    driver.pDataFile = ppd.data();
    driver.pConfigFile = const_cast<char*>("wineps.drv");
    return ::AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&driver),
                                 APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY)
        || ::GetLastError() == ERROR_PRINTER_DRIVER_ALREADY_INSTALLED;
}

// Wine's local port monitor writes a job to a port that names a file.
bool PointAt(HANDLE printer, const std::string& outputFile)
{
    DWORD needed = 0;
    ::GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    if (needed == 0 || !::GetPrinterA(printer, 2, buffer.data(), needed, &needed))
        return false;
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
    if (outputFile == info->pPortName)
        return true;
    std::string port = outputFile;
    info->pPortName = port.data();
    info->pSecurityDescriptor = nullptr;
    return ::SetPrinterA(printer, 2, buffer.data(), 0) != FALSE;
}

} // namespace

bool InstallTestPrinter(const std::string& outputFile)
{
    if (!InstallDriver())
        return false;

    PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE existing = nullptr;
    if (::OpenPrinterA(const_cast<char*>(kTestPrinterName), &existing, &access)) {
        PrinterHandle printer(existing);
        if (!PointAt(printer.get(), outputFile))
            return false;
    } else {
        std::string port = outputFile;
        PRINTER_INFO_2A info{};
        info.pPrinterName = const_cast<char*>(kTestPrinterName);
        info.pPortName = port.data();
        info.pDriverName = const_cast<char*>(kDriverName);
        info.pPrintProcessor = const_cast<char*>("WinPrint");
        info.pDatatype = const_cast<char*>("RAW");
        info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
        PrinterHandle printer(::AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
        if (!printer)
            return false;
    }
    return ::SetDefaultPrinterA(kTestPrinterName) != FALSE;
}
