#include "app/file_filters.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include "app/html_export_command.h"
#include "app/project_commands.h"

namespace {

// Names the dialog lists as choosable in its folder, once the folder has been read.
QStringList ListedNames(QFileDialog& dialog, int expected) {
    auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
    if (view == nullptr) return {QStringLiteral("no list view")};
    QStringList names;
    for (int attempt = 0; attempt < 250; ++attempt) {
        QTest::qWait(20);
        names.clear();
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row) {
            const QModelIndex index = view->model()->index(row, 0, root);
            if (index.flags() & Qt::ItemIsEnabled) names << index.data().toString();
        }
        if (names.size() == expected) break;
    }
    names.sort();
    return names;
}

TEST(FileFilters, AllFilesKeepsItsCaptionAndListsNamesWithoutADot) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"a", "b.prj", "c.txt"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    SetDialogNameFilters(dialog, project::ProjectDialogFilter());
    dialog.setDirectory(dir.path());

    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->itemText(0), QStringLiteral("Проектный файл NUV Tolvek (*.prj)"));
    EXPECT_EQ(types->itemText(1), QStringLiteral("Все файлы (*.*)"));

    dialog.show();
    EXPECT_EQ(ListedNames(dialog, 1), QStringList{"b.prj"});
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    EXPECT_EQ(ListedNames(dialog, 3), (QStringList{"a", "b.prj", "c.txt"}));

    // The page dialog's "all files" entry behaves alike.
    QFileDialog page;
    page.setOption(QFileDialog::DontUseNativeDialog);
    SetDialogNameFilters(page, project::HtmlDialogFilter());
    auto* pageTypes = page.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(pageTypes, nullptr);
    EXPECT_EQ(pageTypes->itemText(0), QStringLiteral("HTML-файлы (*.html *.htm)"));
    EXPECT_EQ(pageTypes->itemText(1), QStringLiteral("Все файлы (*.*)"));
    page.setDirectory(dir.path());
    page.selectNameFilter(page.nameFilters().at(1));
    page.show();
    EXPECT_EQ(ListedNames(page, 3), (QStringList{"a", "b.prj", "c.txt"}));
}

}  // namespace
