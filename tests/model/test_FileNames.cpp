#include "FileNames.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(FileNames, ProposedNameCarriesTheTime) {
    const QDateTime time(QDate(2026, 12, 1), QTime(9, 5, 7));
    EXPECT_EQ(FileNames::Proposed("/data/runs", "pxs733", "csv", time).toStdString(),
              "/data/runs/pxs733-20261201-090507.csv");
}

TEST(FileNames, TheChosenTypeAddsItsExtensionToANameWithout) {
    QTemporaryDir folder;
    struct Case {
        QString path, filter, expected;
    } const cases[] = {
        {"/t/run", "CSV files (*.csv)", "/t/run.csv"},
        {"/t/run.csv", "CSV files (*.csv)", "/t/run.csv"},
        {"/t/picture", "PDF documents (*.pdf)", "/t/picture.pdf"},
        {"/t/picture.PNG", "PDF documents (*.pdf)", "/t/picture.PNG"}, // typed: kept
        {"/t/v1.2/run", "CSV files (*.csv)", "/t/v1.2/run.csv"},       // a dot in the folder
        {"/t/run", "All files (*)", "/t/run"},
        {"/t/run", "", "/t/run"},
        {"", "CSV files (*.csv)", ""}, // cancelled
        {folder.path(), "CSV files (*.csv)", folder.path()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileNames::WithExtension(c.path, c.filter).toStdString(),
                  c.expected.toStdString())
            << c.path.toStdString() << " " << c.filter.toStdString();
}

} // namespace
