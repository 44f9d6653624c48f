// A screen may hold a tree and a grid together (a file manager does), so the headers of
// both controls, the command ids and the string ids compile side by side.
#include "app/CommandIds.h"
#include "app/LocalTree.h"
#include "controls/MultiTree.h"
#include "document/DocView.h"
#include "grid/GridCtrl.h"
#include "grid/GridDefs.h"
#include "platform/gui/ControlNotify.h"
#include "resources/StringIds.h"

#include <gtest/gtest.h>

namespace
{

// The owner of both controls tells their notifications apart in one switch, which
// compiles only while every code is distinct.
const char* CodeName(int code)
{
    using namespace Notify;
    switch (code)
    {
    case NM_CLICK:
        return "NM_CLICK";
    case NM_DBLCLK:
        return "NM_DBLCLK";
    case NM_RCLICK:
        return "NM_RCLICK";
    case TVN_SELCHANGING:
        return "TVN_SELCHANGING";
    case TVN_SELCHANGED:
        return "TVN_SELCHANGED";
    case TVN_BEGINDRAG:
        return "TVN_BEGINDRAG";
    case TVN_BEGINRDRAG:
        return "TVN_BEGINRDRAG";
    case TVN_BEGINLABELEDIT:
        return "TVN_BEGINLABELEDIT";
    case TVN_ENDLABELEDIT:
        return "TVN_ENDLABELEDIT";
    case GRIDN_SELCHANGING:
        return "GRIDN_SELCHANGING";
    case GRIDN_SELCHANGED:
        return "GRIDN_SELCHANGED";
    case GRIDN_KEYCOMMAND:
        return "GRIDN_KEYCOMMAND";
    case GRIDN_FOCUSCHANGED:
        return "GRIDN_FOCUSCHANGED";
    case GRIDN_BEGINLABELEDIT:
        return "GRIDN_BEGINLABELEDIT";
    case GRIDN_ENDLABELEDIT:
        return "GRIDN_ENDLABELEDIT";
    case GRIDN_EDITUNCHANGED:
        return "GRIDN_EDITUNCHANGED";
    default:
        return nullptr;
    }
}

} // namespace

TEST(HeadersTogether, OneOwnerTellsTheTreeAndTheGridApart)
{
    EXPECT_STREQ(CodeName(Notify::NM_RCLICK), "NM_RCLICK");
    EXPECT_STREQ(CodeName(Notify::TVN_ENDLABELEDIT), "TVN_ENDLABELEDIT");
    EXPECT_STREQ(CodeName(Notify::GRIDN_ENDLABELEDIT), "GRIDN_ENDLABELEDIT");
    // The grid's own edit commands are not the main window's menu commands.
    EXPECT_NE(uint32_t(GridCmd::ID_EDIT_COPY), Cmd::ID_EDIT_COPY);
}
