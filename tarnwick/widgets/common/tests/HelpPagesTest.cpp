#include "tarnwick/widgets/common/HelpLauncher.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <gtest/gtest.h>

using namespace tarnwick;

namespace {

// The folder the program in the build tree opens, found as it finds it.
QString BuildTreeHelpFolder()
{
    return QDir::cleanPath(QStringLiteral(TARNWICK_PROGRAM_DIR "/../share/tarnwick/help"));
}

class HelpPages : public ::testing::TestWithParam<const char*>
{
};

} // namespace

// Every topic the windows open is there, declares its encoding, is UTF-8 and
// links only to pages and style sheets that exist.
TEST_P(HelpPages, PageIsThereAndItsLinksLeadSomewhere)
{
    const HelpLauncher help(BuildTreeHelpFolder());
    const QString path = help.TopicPath(QString::fromUtf8(GetParam()));
    ASSERT_FALSE(path.isEmpty()) << GetParam();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    EXPECT_FALSE(decoder.hasError());
    EXPECT_TRUE(text.contains(QStringLiteral("<meta charset=\"utf-8\">")));
    EXPECT_TRUE(text.contains(QStringLiteral("<html lang=\"de\">")));
    EXPECT_TRUE(text.trimmed().endsWith(QStringLiteral("</html>")));

    static const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"#:]+)\""));
    int links = 0;
    for (const QRegularExpressionMatch& match : link.globalMatch(text)) {
        EXPECT_FALSE(help.TopicPath(match.captured(1)).isEmpty()) << match.captured(1).toStdString();
        ++links;
    }
    EXPECT_GT(links, 1);
}

INSTANTIATE_TEST_SUITE_P(Topics, HelpPages,
                         ::testing::Values("tarnwick.htm", "OptionsAllgemein.htm", "OptionsRedirectFrom.htm",
                                           "OptionsRedirectTo.htm", "OptionsUpload.htm", "OptionsBackupSetup.htm",
                                           "OptionsAutodial.htm", "OptionsDnsName.htm"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });
