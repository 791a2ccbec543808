// Command targets and their command maps: a class lists the commands it
// handles (single ids or id ranges) and the update handlers that set the
// enabled and checked state of menu items and toolbar buttons.
#pragma once

#include "afxbase.h"

class CCmdTarget;
class CCmdUI;

#define CN_COMMAND            0
#define CN_UPDATE_COMMAND_UI  ((int)(-1))

// Passed to OnCmdMsg to ask whether a handler exists without running it.
struct AFX_CMDHANDLERINFO {
    CCmdTarget* pTarget = nullptr;
};

using AfxCmdHandler       = void (CCmdTarget::*)();
using AfxCmdRangeHandler  = void (CCmdTarget::*)(UINT);
using AfxUpdateHandler    = void (CCmdTarget::*)(CCmdUI*);

struct AFX_CMDMAP_ENTRY {
    enum Kind { Command, CommandRange, Update, UpdateRange, End };
    Kind kind;
    UINT first;
    UINT last;
    AfxCmdHandler command;
    AfxCmdRangeHandler commandRange;
    AfxUpdateHandler update;
};

struct AFX_CMDMAP {
    const AFX_CMDMAP* (*base)();
    const AFX_CMDMAP_ENTRY* entries;
};

class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Runs the handler of nID (nCode CN_COMMAND) or its update handler
    // (CN_UPDATE_COMMAND_UI, pExtra the CCmdUI). With pHandlerInfo given, only
    // answers whether a command handler exists. Returns TRUE when handled.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

protected:
    static const AFX_CMDMAP* GetThisCommandMap();
    virtual const AFX_CMDMAP* GetCommandMap() const;
};

// The user-interface item (menu item, toolbar button, status pane) whose
// state an update handler sets.
class CCmdUI {
public:
    UINT m_nID = 0;
    UINT m_nIndex = 0;
    HMENU m_hMenu = nullptr;   // the popup holding the item, when it is a menu item
    CWnd* m_pOther = nullptr;  // the bar holding the item, when it is not
    BOOL m_bEnableChanged = FALSE;

    virtual ~CCmdUI() = default;
    virtual void Enable(BOOL bOn = TRUE);
    virtual void SetCheck(int nCheck = 1);
    // A menu item's check as a dot, for one choice among several; elsewhere a check.
    virtual void SetRadio(BOOL bOn = TRUE);
    virtual void SetText(const char* text);

    // Asks target for the item's state; with no update handler and
    // disableIfNoHandler, the item is enabled exactly when a command handler exists.
    void DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler);
};

// ---------------------------------------------------------------- map macros

#define DECLARE_COMMAND_MAP()                                   \
protected:                                                      \
    static const AFX_CMDMAP* GetThisCommandMap();               \
    const AFX_CMDMAP* GetCommandMap() const override;

#define BEGIN_COMMAND_MAP(theClass, baseClass)                                   \
    const AFX_CMDMAP* theClass::GetCommandMap() const { return GetThisCommandMap(); } \
    const AFX_CMDMAP* theClass::GetThisCommandMap() {                            \
        using ThisClass = theClass;                                              \
        using TheBaseClass = baseClass;                                          \
        static const AFX_CMDMAP_ENTRY entries[] = {

#define END_COMMAND_MAP()                                                        \
            {AFX_CMDMAP_ENTRY::End, 0, 0, nullptr, nullptr, nullptr}};           \
        static const AFX_CMDMAP map = {&TheBaseClass::GetThisCommandMap, entries}; \
        return &map;                                                             \
    }

#define ON_COMMAND(id, fn)                                                       \
    {AFX_CMDMAP_ENTRY::Command, (UINT)(id), (UINT)(id),                          \
     static_cast<AfxCmdHandler>(&ThisClass::fn), nullptr, nullptr},

#define ON_COMMAND_RANGE(first, last, fn)                                        \
    {AFX_CMDMAP_ENTRY::CommandRange, (UINT)(first), (UINT)(last), nullptr,       \
     static_cast<AfxCmdRangeHandler>(&ThisClass::fn), nullptr},

#define ON_UPDATE_COMMAND_UI(id, fn)                                             \
    {AFX_CMDMAP_ENTRY::Update, (UINT)(id), (UINT)(id), nullptr, nullptr,         \
     static_cast<AfxUpdateHandler>(&ThisClass::fn)},

#define ON_UPDATE_COMMAND_UI_RANGE(first, last, fn)                              \
    {AFX_CMDMAP_ENTRY::UpdateRange, (UINT)(first), (UINT)(last), nullptr,        \
     nullptr, static_cast<AfxUpdateHandler>(&ThisClass::fn)},
