// activeWindowCentre against the test session's X server, which runs no window manager: the focused window counts
// until a window manager's _NET_ACTIVE_WINDOW names another.
#include "e2e/x11/x11testsupport.h"
#include "platform/linux/x11/x11activewindow.h"
#include "platform/linux/x11/x11atoms.h"

#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace {

class ActiveWindowCentreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_target.setGeometry(100, 80, 300, 40);
        ASSERT_TRUE(m_target.showFocused());
        m_other.setGeometry(500, 300, 200, 100);
        m_other.show();
        ASSERT_TRUE(waitUntil([this] { return m_other.isVisible() && m_other.windowHandle()->isExposed(); }));
    }
    void TearDown() override { announceActiveWindow(std::nullopt); }

    // Sets or removes the root window's _NET_ACTIVE_WINDOW, as a window manager would.
    static void announceActiveWindow(std::optional<xcb_window_t> window)
    {
        xcb_connection_t *connection = qtConnection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const xcb_atom_t property = internAtom(connection, "_NET_ACTIVE_WINDOW");
        if (window) {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, property, XCB_ATOM_WINDOW, 32, 1, &*window);
        } else {
            xcb_delete_property(connection, root, property);
        }
        xcb_flush(connection);
    }

    TargetLineEdit m_target{QStringLiteral("text")};
    QWidget m_other;
};

TEST_F(ActiveWindowCentreTest, IsTheFocusedWindowsCentreWithoutAWindowManager)
{
    const std::optional<QPoint> centre = activeWindowCentre(qtConnection());
    ASSERT_TRUE(centre.has_value());
    EXPECT_TRUE(m_target.frameGeometry().contains(*centre)) << centre->x() << "," << centre->y();
    EXPECT_LE((*centre - m_target.geometry().center()).manhattanLength(), 2);
}

TEST_F(ActiveWindowCentreTest, FollowsTheWindowManagersActiveWindow)
{
    announceActiveWindow(xcb_window_t(m_other.winId()));
    const std::optional<QPoint> centre = activeWindowCentre(qtConnection());
    ASSERT_TRUE(centre.has_value());
    EXPECT_LE((*centre - m_other.geometry().center()).manhattanLength(), 2);

    announceActiveWindow(XCB_NONE); // a window manager with no active window: the focus decides
    const std::optional<QPoint> focused = activeWindowCentre(qtConnection());
    ASSERT_TRUE(focused.has_value());
    EXPECT_TRUE(m_target.frameGeometry().contains(*focused));
}

TEST(ActiveWindowCentreWithoutDisplay, IsUnknown)
{
    EXPECT_EQ(activeWindowCentre(nullptr), std::nullopt);
}

} // namespace
