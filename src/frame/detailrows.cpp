#include "frame/detailrows.h"

#include <shlwapi.h>

#include <cmath>
#include <cstdio>

#include "afxpath.h"
#include "pages/photoline.h"
#include "res/resource.h"
#include "shell/fileverbs.h"

namespace {

// A string resource with its "%s" filled in.
std::string Formatted(UINT id, const std::string& text)
{
    std::string format = AfxLoadString(id);
    if (const size_t at = format.find("%s"); at != std::string::npos)
        format.replace(at, 2, text);
    return format;
}

std::string SizeText(unsigned long long bytes)
{
    wchar_t text[64] = L"";
    if (!::StrFormatByteSizeW((LONGLONG)bytes, text, 64))
        return {};
    return AfxUtf8(text);
}

std::string FocalLengthRow(const PhotoFacts& photo)
{
    const std::string text = photo.focalLength ? FocalLengthText(*photo.focalLength) : std::string();
    if (text.empty() || !photo.focalLength35mm || !*photo.focalLength35mm)
        return text;
    std::string both = Formatted(IDS_FOCAL_LENGTH_35MM, text);
    if (const size_t at = both.find("%u"); at != std::string::npos)
        both.replace(at, 2, std::to_string(*photo.focalLength35mm));
    return both;
}

std::string AltitudeText(double metres)
{
    char number[32];
    std::snprintf(number, sizeof number, "%g", std::round(std::fabs(metres) * 10) / 10);
    return Formatted(metres < 0 ? IDS_BELOW_SEA_LEVEL : IDS_ABOVE_SEA_LEVEL, number);
}

} // namespace

std::string DegreesText(double degrees, bool latitude)
{
    const char* hemisphere = latitude ? (degrees < 0 ? "S" : "N") : (degrees < 0 ? "W" : "E");
    return MapDegrees(std::fabs(degrees)) + "\u00B0 " + hemisphere;
}

std::vector<DetailRow> DetailRows(const FileDetails& details)
{
    std::vector<DetailRow> rows;
    if (details.path.empty())
        return rows;
    const char* name = AfxFindFileName(details.path.c_str());
    // A drive's root has no name of its own.
    rows.push_back({IDS_DETAILS_NAME, *name ? name : details.path});
    if (details.folder) {
        rows.push_back({IDS_DETAILS_KIND, details.kind});
        return rows;
    }
    if (*name) {
        std::string folder(details.path.c_str(), name);
        if (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
            folder.pop_back();
        rows.push_back({IDS_DETAILS_FOLDER, folder});
    }
    if (!details.exists)
        return rows;
    const PictureFacts& facts = details.facts;
    const PhotoFacts& photo = facts.photo;
    rows.push_back({IDS_DETAILS_SIZE, SizeText(facts.fileSize)});
    rows.push_back({IDS_DETAILS_KIND, details.kind});
    if (facts.size.cx > 0 && facts.size.cy > 0)
        rows.push_back({IDS_DETAILS_DIMENSIONS,
                        std::to_string(facts.size.cx) + " \u00D7 " + std::to_string(facts.size.cy)});
    if (photo.taken)
        rows.push_back({IDS_DETAILS_TAKEN, TakenText(*photo.taken)});
    rows.push_back({IDS_DETAILS_CAMERA, CameraText(photo.make, photo.model)});
    rows.push_back({IDS_DETAILS_LENS, photo.lens});
    if (photo.exposureTime)
        rows.push_back({IDS_DETAILS_EXPOSURE, ExposureTimeText(*photo.exposureTime)});
    if (photo.fNumber)
        rows.push_back({IDS_DETAILS_FNUMBER, FNumberText(*photo.fNumber)});
    if (photo.iso && *photo.iso)
        rows.push_back({IDS_DETAILS_ISO, std::to_string(*photo.iso)});
    rows.push_back({IDS_DETAILS_FOCAL_LENGTH, FocalLengthRow(photo)});
    if (photo.flash)
        rows.push_back({IDS_DETAILS_FLASH, AfxLoadString((*photo.flash & 1) ? IDS_FLASH_FIRED : IDS_FLASH_NOT_FIRED)});
    if (photo.latitude && photo.longitude) {
        rows.push_back({IDS_DETAILS_LATITUDE, DegreesText(*photo.latitude, true)});
        rows.push_back({IDS_DETAILS_LONGITUDE, DegreesText(*photo.longitude, false)});
    }
    if (photo.altitude)
        rows.push_back({IDS_DETAILS_ALTITUDE, AltitudeText(*photo.altitude)});
    // What the file lacks, or what the system could not word, is left out.
    std::erase_if(rows, [](const DetailRow& row) { return row.value.empty(); });
    return rows;
}
