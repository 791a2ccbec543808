#include "pages/photoline.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

#include "afxbase.h"

namespace {

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool StartsWithWord(const std::string& text, const std::string& word)
{
    if (word.empty() || text.size() < word.size() || (text.size() > word.size() && text[word.size()] != ' '))
        return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (std::tolower((unsigned char)text[i]) != std::tolower((unsigned char)word[i]))
            return false;
    }
    return true;
}

std::string ExposureText(const PhotoFacts& facts)
{
    std::vector<std::string> parts;
    if (facts.exposureTime)
        parts.push_back(ExposureTimeText(*facts.exposureTime));
    if (facts.fNumber)
        parts.push_back(FNumberText(*facts.fNumber));
    if (facts.iso && *facts.iso)
        parts.push_back("ISO " + std::to_string(*facts.iso));
    if (facts.focalLength)
        parts.push_back(FocalLengthText(*facts.focalLength));
    std::string text;
    for (const std::string& part : parts) {
        if (!part.empty())
            text += (text.empty() ? "" : " ") + part;
    }
    return text;
}

}  // namespace

// Empty for a date the system refuses (a damaged tag can say month 13).
std::string TakenText(const CameraTime& taken)
{
    SYSTEMTIME time{};
    time.wYear = (WORD)taken.year;
    time.wMonth = (WORD)taken.month;
    time.wDay = (WORD)taken.day;
    time.wHour = (WORD)taken.hour;
    time.wMinute = (WORD)taken.minute;
    time.wSecond = (WORD)taken.second;
    wchar_t date[128], clock[128];
    if (!::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128, nullptr)
        || !::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, clock, 128))
        return {};
    return AfxUtf8(date) + " " + AfxUtf8(clock);
}

// Cameras write their make into the model too ("Canon", "Canon PowerShot
// S5 IS"), some with a longer make ("NIKON CORPORATION", "NIKON D750").
std::string CameraText(const std::string& make, const std::string& model)
{
    if (make.empty() || StartsWithWord(model, make.substr(0, make.find(' '))))
        return model;
    return model.empty() ? make : make + " " + model;
}

// Times a camera's dial shows as a fraction (1/3, 1/1000) as one; others,
// such as 0.4 s or 2.5 s, in seconds. Some cameras store 1/3 as 333/1000.
std::string ExposureTimeText(const ExifRational& time)
{
    const double seconds = time.Value();
    if (seconds <= 0)
        return {};
    const double reciprocal = 1 / seconds;
    if (seconds < 1 && std::abs(reciprocal - std::round(reciprocal)) <= reciprocal / 100)
        return "1/" + Format("%.0f", std::round(reciprocal)) + " s";
    return Format(seconds < 1 ? "%.2g" : "%g", seconds < 1 ? seconds : std::round(seconds * 10) / 10) + " s";
}

std::string FNumberText(const ExifRational& fNumber)
{
    return fNumber.numerator ? Format("f/%.1f", fNumber.Value()) : std::string();
}

std::string FocalLengthText(const ExifRational& length)
{
    return length.numerator ? Format("%g", std::round(length.Value() * 10) / 10) + " mm" : std::string();
}

std::string PhotoLine(int width, int height, const PhotoFacts& facts)
{
    if (width <= 0 || height <= 0)
        return {};
    std::string line = std::to_string(width) + " \u00D7 " + std::to_string(height);
    for (const std::string& part : {facts.taken ? TakenText(*facts.taken) : std::string(),
                                    CameraText(facts.make, facts.model), ExposureText(facts)}) {
        if (!part.empty())
            line += ", " + part;
    }
    return line;
}
