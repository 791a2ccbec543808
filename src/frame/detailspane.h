// The details pane: beside the picture page and the folder pages, the facts
// of the picture shown or focused, as labelled values in standard controls
// that screen readers read as they are, with a link to the map of where
// the photo was taken. Facts are read on the pane's own worker.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "afx.h"
#include "gdi.h"

class CDetailsReader;
struct FileDetails;

class CDetailsPane : public CWnd {
public:
    static constexpr int kWidth = 260;  // at 96 DPI

    CDetailsPane();
    ~CDetailsPane() override;

    BOOL Create(CWnd* parent, UINT id, int dpi);
    // What the pane takes of its frame's width.
    int Width() const;
    // Shows the details of path (empty: none); read anew when path is not
    // the one shown, or the one shown may have changed. Until they are
    // read the pane keeps what it shows.
    void Describe(const std::string& path);
    void MarkStale() { m_stale = true; }
    // The pane is hidden: its reading stops.
    void Stop();
    void SetDpi(int dpi);

protected:
    int OnCreate(LPCREATESTRUCTW cs) override;
    void OnDestroy() override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnPaint() override;
    void OnSetFocus(HWND oldWnd) override;
    void OnKillFocus(HWND newWnd) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    HBRUSH OnCtlColor(CDC* dc, HWND control, UINT ctlColor) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Row {
        HWND label = nullptr;
        HWND value = nullptr;
    };

    void Show(const FileDetails& details);
    // Places the rows shown one below the other, values wrapped to the width.
    void Arrange();
    void OpenMap();

    std::vector<Row> m_rows;  // one for each kind of fact, in order; children of the pane
    HWND m_mapLink = nullptr;
    std::optional<std::pair<double, double>> m_place;  // latitude, longitude
    std::string m_path;       // asked for last
    bool m_stale = false;
    CFont m_font;
    int m_dpi = 96;
    std::unique_ptr<CDetailsReader> m_reader;  // while the pane shows
};
