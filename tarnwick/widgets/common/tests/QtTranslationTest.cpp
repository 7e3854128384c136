#include "tarnwick/widgets/common/QtTranslation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include <gtest/gtest.h>

TEST(QtTranslation, MessageBoxButtonsSpeakGermanWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_TRUE(tarnwick::LoadQtGermanTranslation(qApp));
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                    QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("&Ja"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("&Nein"));
    EXPECT_EQ(QLocale().language(), QLocale::German);
    EXPECT_EQ(QLocale().formattedDataSize(1536), QStringLiteral("1,50 KiB"));
    EXPECT_FALSE(tarnwick::LoadQtGermanTranslation(nullptr));
}
