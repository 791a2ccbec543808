// The view as a place files are dropped on. It asks the page shown what a
// drop at the pointer would do (the page frames its target meanwhile), and
// scrolls the page while the drag rests near its top or bottom edge.
#pragma once

#include <string>
#include <vector>

#include "afx.h"
#include "comptr.h"

#include <shobjidl.h>

class CVemolyView;

class CViewDropTarget final : public IDropTarget {
public:
    // The new object holds one reference, the caller's.
    static CViewDropTarget* Create(CVemolyView* view);
    // The view goes: from now on nothing is dropped.
    void Disconnect();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDropTarget
    STDMETHODIMP DragEnter(IDataObject* data, DWORD keyState, POINTL screen, DWORD* effect) override;
    STDMETHODIMP DragOver(DWORD keyState, POINTL screen, DWORD* effect) override;
    STDMETHODIMP DragLeave() override;
    STDMETHODIMP Drop(IDataObject* data, DWORD keyState, POINTL screen, DWORD* effect) override;

private:
    explicit CViewDropTarget(CVemolyView* view);
    ~CViewDropTarget() = default;

    // The page point under screen, or false without a view.
    bool PagePoint(POINTL screen, POINT* point) const;
    // A step up or down while client lies within the band at either edge.
    void ScrollNearEdge(POINTL screen);

    LONG m_refs = 1;
    CVemolyView* m_view;
    std::vector<std::string> m_files;  // of the drag going on
    CComPtr<IDropTargetHelper> m_helper;  // the drag image, where the system draws one
    DWORD m_lastScroll = 0;  // tick of the last step
};
