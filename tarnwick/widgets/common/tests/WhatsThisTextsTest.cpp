#include "tarnwick/widgets/common/WhatsThisTexts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>

#include <gtest/gtest.h>

using namespace tarnwick;

TEST(WhatsThisTexts, MainWindowHasATextForEachControlOfItsHelpMap)
{
    const QSet<int> helpMap = {1000, 1001, 1003, 1039, 1002, 1050, 1043, 1044, 1026, 1057,  1052,  1053,
                               1054, 1017, 1019, 1020, 1021, 1022, 1032, 1008, 1014, 57670, 57665, 57664};
    QSet<int> ids;
    for (const WhatsThisEntry& entry : MainWindowWhatsThis()) {
        SCOPED_TRACE(entry.controlId);
        EXPECT_FALSE(ids.contains(entry.controlId));
        ids.insert(entry.controlId);
        EXPECT_GT(QString::fromUtf8(entry.text).size(), 20);
    }
    EXPECT_EQ(ids, helpMap);
    EXPECT_TRUE(WhatsThisText(MainWindowWhatsThis(), 102).isEmpty());
}

TEST(WhatsThisTexts, AppliedByObjectNameAndUnnamedTextsGetNone)
{
    QWidget window;
    window.setObjectName(QStringLiteral("idc_1021")); // the root itself may be a control
    auto* url = new QLineEdit(&window);
    url->setObjectName(ControlObjectName(1003));
    auto* hide = new QPushButton(&window);
    hide->setObjectName(QStringLiteral("idc_57665"));
    auto* unnamed = new QLabel(QStringLiteral("Intervall in min:"), &window);

    EXPECT_EQ(ApplyWhatsThis(&window, MainWindowWhatsThis()), 3);
    EXPECT_EQ(url->whatsThis(), WhatsThisText(MainWindowWhatsThis(), 1003));
    EXPECT_FALSE(hide->whatsThis().isEmpty());
    EXPECT_FALSE(window.whatsThis().isEmpty());
    EXPECT_TRUE(unnamed->whatsThis().isEmpty());
    EXPECT_EQ(ApplyWhatsThis(nullptr, MainWindowWhatsThis()), 0);
}
