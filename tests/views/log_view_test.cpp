#include <gtest/gtest.h>

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <functional>
#include <memory>
#include <ostream>

#include "support/paint_counter.h"
#include "support/qt_support.h"
#include "views/multi_line_list_box.h"
#include "views/nmea_log_dlg.h"
#include "views/view_fonts.h"

void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

const QString kGga =
    QStringLiteral("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47");
const QColor kWhite{255, 255, 255};
const QColor kRed{255, 0, 0};

// Shown so that the scroll area lays out its viewport.
template <typename Widget>
void ShowAt(Widget& widget, int width, int height)
{
    widget.resize(width, height);
    widget.show();
    ASSERT_TRUE(WaitFor([&] { return widget.isVisible() && widget.width() == width; }));
}

QString LongText(int words)
{
    QStringList parts;
    for (int i = 0; i < words; ++i) parts << QStringLiteral("word%1").arg(i);
    return parts.join(u' ');
}

std::unique_ptr<CMultiLineListBox> ShownList(int width = 400, int height = 200)
{
    auto list = std::make_unique<CMultiLineListBox>();
    list->setFont(ViewFont(kFontArial, 13));
    ShowAt(*list, width, height);
    return list;
}

bool HasReddishPixel(const QImage& image, const QRect& rect)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = CMultiLineListBox::kTextIndent; x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 90 && c.blue() < 90) return true;
        }
    return false;
}

TEST(LogViewTexts, ShownLinesDropLineEndsAndFileLinesEndInOneLineFeed)
{
    const QString sep(QChar::LineSeparator);
    // clang-format off
    const std::pair<QString, QString> shown[] = {{"$GPRMC,1*00\r\n", "$GPRMC,1*00"},
        {"B5 62 01 07\n", "B5 62 01 07"}, {"a\r\nb", "a" + sep + "b"}, {"\r\n", ""}};
    const std::pair<QString, QByteArray> logged[] = {{"$GPGGA,1*00", "$GPGGA,1*00\n"},
        {"$GPGGA,1*00\r\n", "$GPGGA,1*00\r\n"}, {"", "\n"},
        {QStringLiteral("한"), "\xED\x95\x9C\n"}};  // UTF-8 of U+D55C
    // clang-format on
    for (const auto& [input, expected] : shown) EXPECT_EQ(DisplayText(input), expected);
    for (const auto& [input, expected] : logged) EXPECT_EQ(LogsFileLine(input), expected);
}

TEST(MultiLineListBox, RowsShowTheirColoursAndSelectionSwapsThem)
{
    auto list = ShownList();
    list->AddItem(QStringLiteral("HHHH MMMM"), kRed, kWhite);
    list->AddItem(QStringLiteral("second"), QColor(0, 0, 255), QColor(255, 255, 0));
    const QRect first = list->GetItemRect(0);
    const QRect second = list->GetItemRect(1);
    EXPECT_EQ(second.top(), first.bottom() + 1);

    const QImage image = list->viewport()->grab().toImage();
    EXPECT_EQ(image.pixelColor(2, first.center().y()), kWhite);
    EXPECT_TRUE(HasReddishPixel(image, first));
    EXPECT_EQ(image.pixelColor(2, second.center().y()), QColor(255, 255, 0));

    list->SetCurSel(1);
    const QImage selected = list->viewport()->grab().toImage();
    EXPECT_EQ(selected.pixelColor(2, second.center().y()), QColor(0, 0, 255));
}

TEST(MultiLineListBox, LongRowsWrapTallerAtNarrowerWidths)
{
    auto list = ShownList(600, 200);
    for (const QString& text : {QStringLiteral("short"), LongText(40), kGga + kGga})  // no spaces
        list->AddItem(text, kRed, kWhite);
    const int shortHeight = list->GetItemHeight(0), wideHeight = list->GetItemHeight(1),
              wideSentence = list->GetItemHeight(2);
    EXPECT_GT(wideHeight, shortHeight);
    list->resize(250, 200);
    ASSERT_TRUE(WaitFor([&] { return list->GetItemHeight(1) != wideHeight; }));
    EXPECT_EQ(list->GetItemHeight(0), shortHeight);
    EXPECT_GT(list->GetItemHeight(1), wideHeight);
    EXPECT_GT(list->GetItemHeight(2), wideSentence);
    EXPECT_EQ(list->GetItemRect(2).top(), shortHeight + list->GetItemHeight(1));
}

TEST(MultiLineListBox, LaysOutOnlyRowsShownAndKeepsTheirLayouts)
{
    auto list = ShownList(400, 200);
    const auto before = list->LayoutCount();
    for (int i = 0; i < 10000; ++i)
        list->AddItem(i % 1000 == 0 ? LongText(60) : kGga.left(40), kRed, kWhite);
    // Hyphens break where the height estimate does not: painting must correct it. (Rows of
    // ASCII are drawn by the estimate's rule, so the row needs another character.)
    const QString hyphens = (QString(30, u'é') + u'-').repeated(8);
    list->AddItem(hyphens, kRed, kWhite);
    EXPECT_EQ(list->LayoutCount(), before);  // rows that scroll away unseen cost no layout

    list->ScrollToBottom();
    (void)list->viewport()->grab();
    const int onScreen = 200 / list->GetItemHeight(1) + 2;
    EXPECT_LE(list->LastPaintedCount(), onScreen);
    EXPECT_LE(list->LayoutCount() - before, onScreen);
    QFont unkerned = list->font();
    unkerned.setKerning(false);
    QTextLayout layout(hyphens, unkerned);
    const int lineHeight = list->fontMetrics().height();
    EXPECT_EQ(list->GetItemHeight(10000),
              LayoutWrapped(layout, list->viewport()->width() - 10, lineHeight) * lineHeight + 2);
    EXPECT_EQ(list->GetItemRect(10000).bottom(), list->viewport()->height() - 1);
    EXPECT_EQ(list->ItemFromPoint(QPoint(10, list->GetItemRect(9999).center().y())), 9999);
    const auto shown = list->LayoutCount();

    list->resize(380, 200);
    ASSERT_TRUE(WaitFor([&] { return list->LayoutCount() != shown; }));
    EXPECT_LE(list->LayoutCount() - shown, onScreen);
    EXPECT_TRUE(list->IsScrolledToBottom());
}

// Following a fast receiver, every row changes the scroll range; the bar is painted again only
// when its handle moves, and then looks as a new list's bar.
TEST(MultiLineListBox, ScrollBarRepaintsOnlyWhenItsHandleMoves)
{
    PaintCounter counter;
    const auto addRows = [&](CMultiLineListBox& box, int rows) {
        for (int i = 0; i < rows; ++i) box.AddItem(kGga.left(30), kRed, kWhite);
        box.ScrollToBottom();
    };
    auto list = ShownList(400, 200);
    addRows(*list, 4000);
    QScrollBar* bar = list->verticalScrollBar();
    bar->installEventFilter(&counter);
    const auto paintsAfter = [&](const std::function<void()>& change) {
        QCoreApplication::processEvents();
        counter.paints = 0;
        change();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return counter.paints;
    };
    // The handle is at its shortest and stays at the bottom.
    EXPECT_EQ(paintsAfter([&] { addRows(*list, 500); }), 0);
    EXPECT_GT(paintsAfter([&] { list->EnsureVisible(0); }), 0);
    auto fresh = ShownList(400, 200);
    addRows(*fresh, list->GetCount());
    fresh->EnsureVisible(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->grab().toImage(), fresh->verticalScrollBar()->grab().toImage());
}

TEST(NmeaLogDlg, FullListEmptiesBeforeTheNextLineAndLogsDeviceGetsEveryLine)
{
    CNmeaLogDlg dlg;
    for (int i = 0; i < CNmeaLogDlg::kMaxLines; ++i) dlg.AddLine(QString::number(i), kRed);
    EXPECT_EQ(dlg.LineList()->GetCount(), CNmeaLogDlg::kMaxLines);
    dlg.AddLine(QStringLiteral("newest"), kRed);
    ASSERT_EQ(dlg.LineList()->GetCount(), 1);
    EXPECT_EQ(dlg.LineList()->GetText(0), QStringLiteral("newest"));

    for (int i = 0; i <= CNmeaLogDlg::kMaxLines; ++i)
        dlg.AddErrorLine(QStringLiteral("[120000] error"));
    EXPECT_EQ(dlg.ErrorList()->GetCount(), 1);
    EXPECT_EQ(dlg.ErrorList()->GetTextColour(0), kRed);
    dlg.Clear();
    EXPECT_EQ(dlg.LineList()->GetCount() + dlg.ErrorList()->GetCount(), 0);

    // The logs device receives every shown line with a line feed.
    auto buffer = std::make_unique<QBuffer>();
    dlg.SetLogsDevice(buffer.get());
    dlg.AddLine(QStringLiteral("closed device"), kRed);  // not open yet: dropped
    ASSERT_TRUE(buffer->open(QIODevice::WriteOnly));
    dlg.AddLine(kGga, kRed);
    dlg.AddLine(QStringLiteral("B5 62\n"), kRed);
    dlg.AddErrorLine(QStringLiteral("[120000] error"));  // errors stay out of the file
    EXPECT_EQ(buffer->data(), (kGga + QStringLiteral("\nB5 62\n")).toUtf8());

    buffer.reset();
    EXPECT_EQ(dlg.LogsDevice(), nullptr);
    dlg.AddLine(kGga, kRed);
    EXPECT_EQ(dlg.LineList()->GetCount(), 4);
}

}  // namespace

// Received rows skip shaping: drawn from cached glyphs, broken by the list's own rule, they must
// show the pixels a text layout shows where that layout breaks them the same way.
TEST(MultiLineListBox, AsciiRowsDrawTheSamePixelsAsTheirTextLayout)
{
    const QString rows[] = {
        kGga,
        QStringLiteral("$GNRMC,083559.00,A,4717.11437,N,00833.91522,E,0.004,77.52,091202,,,A*57"),
        QStringLiteral(
            "B5 62 01 07 5C 00 A0 F6 E5 1F E6 07 0C 07 0C 00 05 37 06 00 00 00 5E 9B 04 00"),
        QStringLiteral("$PUBX,00,081350.00,4717.113210,N,00833.915187,E,546.589,G3,2.1,2.0,0.007,"
                       "77.52,0.007,,0.92,1.19,0.77,9,0,0*5F"),
        QStringLiteral("#@~`|{}[]_^"),
        QStringLiteral("%&'\"!?<>=;")};
    for (const int width : {600, 260, 130}) {
        auto list = ShownList(width, 900);
        for (const QString& row : rows) list->AddItem(row, kRed, kWhite);
        const QImage shown =
            list->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QFont unkerned = list->font();
        unkerned.setKerning(false);
        const int lineHeight = list->fontMetrics().height();
        for (int i = 0; i < list->GetCount(); ++i) {
            SCOPED_TRACE(std::to_string(width) + " " + rows[i].toStdString());
            const QRect rect = list->GetItemRect(i);
            QTextLayout layout(rows[i], unkerned, list->viewport());
            const int lines = LayoutWrapped(layout, list->viewport()->width() - 10, lineHeight);
            ASSERT_EQ(rect.height(), lines * lineHeight + 2);
            ASSERT_TRUE(shown.rect().contains(rect));
            QImage expected(rect.size(), QImage::Format_RGB32);
            expected.fill(kWhite);
            QPainter painter(&expected);
            painter.setPen(kRed);
            layout.draw(&painter, QPointF(CMultiLineListBox::kTextIndent, 1));
            painter.end();
            EXPECT_EQ(shown.copy(rect), expected);
        }
    }
}
