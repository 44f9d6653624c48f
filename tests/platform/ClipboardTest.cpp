#include "platform/gui/Clipboard.h"

#include <gtest/gtest.h>

using Platform::Clipboard;

TEST(Clipboard, SystemClipboardKeepsTextImageAndPrivateFormatsTogether)
{
    Platform::ClipboardService::Content content;
    content.text = QStringLiteral("HLD\t512\r\n");
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    content.image = image;
    content.privateFormats.insert(QStringLiteral("Veskador3SEClipboardFormat"), QByteArray("\x04\x00\x00\x00" "abcd", 8));
    ASSERT_TRUE(Clipboard().Set(content));

    EXPECT_EQ(Clipboard().Text(), QStringLiteral("HLD\t512\r\n"));
    ASSERT_TRUE(Clipboard().Image().has_value());
    EXPECT_EQ(Clipboard().Image()->size(), QSize(4, 3));
    EXPECT_TRUE(Clipboard().HasPrivateFormat(QStringLiteral("Veskador3SEClipboardFormat")));
    EXPECT_EQ(Clipboard().PrivateData(QStringLiteral("Veskador3SEClipboardFormat"))->size(), 8);
    EXPECT_FALSE(Clipboard().HasPrivateFormat(QStringLiteral("Other")));

    // Setting new content drops the old formats.
    Platform::ClipboardService::Content textOnly;
    textOnly.text = QStringLiteral("x");
    ASSERT_TRUE(Clipboard().Set(textOnly));
    EXPECT_FALSE(Clipboard().HasPrivateFormat(QStringLiteral("Veskador3SEClipboardFormat")));
    EXPECT_FALSE(Clipboard().Image().has_value());
}
