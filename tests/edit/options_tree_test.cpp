// The options tree and the Add Options dialog with widgets: the default categories, Remove with its
// question, the context menu, selection in click order, drops onto the form and elsewhere, hot keys,
// and the dialog's lists, prefill, key creation and refusal of names the store cannot hold.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include "../ui/uitesthelpers.h"
#include "addoptionsdlg.h"
#include "fakeframe.h"
#include "optionstreectrl.h"
#include "picdataview.h"
#include "picturerecord.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "snaploredoc.h"
#include "testsupport.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

class OptionsTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        OptionsStore options(frame_.settings_);
        ASSERT_TRUE(options.addPerson("Family", "Berg", "Anna"));
        ASSERT_TRUE(options.addPerson("Family", "Berg", "Olaf"));
        ASSERT_TRUE(options.addPlace("USA", "Texas", "Austin", "Zilker Park"));
        ASSERT_TRUE(options.addThing("Pets", "Rex"));
        tree_.setForm(&form_);
        tree_.Reload();
        tree_.resize(300, 500);
        tree_.expandAll();
        tree_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree_));
    }
    void openPicture() {
        ASSERT_TRUE(frame_.document().OpenPictureFile(box_.copy(testsupport::dataPath("Canon_40D.jpg"), "a.jpg")));
    }
    QTreeWidgetItem* item(const QStringList& path) {
        QTreeWidgetItem* found = tree_.findItem(path);
        EXPECT_NE(found, nullptr) << path.join('/').toStdString();
        return found;
    }
    void click(QTreeWidgetItem* target, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(tree_.viewport(), Qt::LeftButton, modifiers, tree_.visualItemRect(target).center());
    }
    QStringList selectedTexts() {
        QStringList texts;
        for (QTreeWidgetItem* selected : tree_.selectedList()) texts.append(selected->text(0));
        return texts;
    }

    testsupport::SandBox box_;
    FakeFrame frame_{box_.filePath("settings.ini")};
    CPicDataView form_{frame_};
    COptionsTreeCtrl tree_{frame_.settings_, frame_.prompter_, frame_.document_};
};

}  // namespace

TEST(OptionsTreeDefaults, AnEmptyStoreShowsThreeCategoriesThatDoNothing) {
    testsupport::SandBox box;
    FakeFrame frame(box.filePath("settings.ini"));
    CPicDataView form(frame);
    COptionsTreeCtrl tree(frame.settings_, frame.prompter_, frame.document_);
    tree.setForm(&form);
    ASSERT_EQ(tree.topLevelItemCount(), 3);
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        names.append(tree.topLevelItem(i)->text(0));
        EXPECT_EQ(COptionsTreeCtrl::recordOf(tree.topLevelItem(i)), nullptr);
    }
    EXPECT_EQ(names, (QStringList{"Person", "Place", "Thing"}));

    // They cannot be removed (a beep, no question) or applied.
    tree.setCurrentItem(tree.topLevelItem(0));
    tree.Remove();
    EXPECT_TRUE(frame.prompter_.asked().isEmpty());
    tree.ApplyOptionToForm(tree.topLevelItem(0));
    EXPECT_TRUE(form.people().isEmpty());
    std::unique_ptr<QMenu> menu(tree.createContextMenu(nullptr));
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->actions()[1]->isEnabled());
}

TEST_F(OptionsTreeTest, ShowsTheStoreWithoutOrderPrefixes) {
    ASSERT_EQ(tree_.topLevelItemCount(), 3);
    QTreeWidgetItem* anna = item({"Person", "Family", "Berg", "Anna"});
    ASSERT_NE(anna, nullptr);
    EXPECT_EQ(COptionsTreeCtrl::recordOf(anna)->keyName, "00Anna");
    EXPECT_EQ(tree_.OptionPathOf(item({"Place", "USA", "Texas"})), "Place:::USA:::Texas");
}

TEST_F(OptionsTreeTest, RemoveAsksWithTheShownPathAndDeletesOnYesOnly) {
    for (int answer : {id::No, id::Cancel, id::Yes}) {
        frame_.prompter_ = ScriptedPrompter();
        frame_.prompter_.answer(answer);
        tree_.setCurrentItem(item({"Person", "Family", "Berg", "Anna"}));
        tree_.Remove();
        ASSERT_EQ(frame_.prompter_.asked().size(), 1);
        const auto& question = frame_.prompter_.asked()[0];
        EXPECT_EQ(question.text, "Are you sure you want to delete\n<Person:Family:Berg:Anna>");
        EXPECT_EQ(question.caption, "Warning");
        EXPECT_EQ(question.flags, mb::YesNoCancel | mb::IconExclamation);
        EXPECT_EQ(frame_.settings_.keyExists("Options\\Person\\Family\\Berg\\00Anna"), answer != id::Yes);
    }
    EXPECT_EQ(tree_.findItem({"Person", "Family", "Berg", "Anna"}), nullptr);
    EXPECT_NE(tree_.findItem({"Person", "Family", "Berg", "Olaf"}), nullptr);
}

TEST_F(OptionsTreeTest, ContextMenuOfTheSelectedItem) {
    tree_.clearSelection();
    tree_.setCurrentItem(nullptr);
    EXPECT_EQ(tree_.createContextMenu(nullptr), nullptr);

    struct Case {
        QStringList path;
        bool removable;
    };
    const Case cases[] = {{{"Person"}, false}, {{"Person", "Family"}, true}, {{"Thing", "Pets", "Rex"}, true}};
    for (const Case& c : cases) {
        tree_.setCurrentItem(item(c.path));
        std::unique_ptr<QMenu> menu(tree_.createContextMenu(nullptr));
        ASSERT_NE(menu, nullptr);
        QStringList texts;
        QMap<int, bool> enabled;
        for (QAction* action : menu->actions()) {
            texts.append(action->text());
            if (!action->isSeparator()) enabled[action->data().toInt()] = action->isEnabled();
        }
        EXPECT_EQ(texts, (QStringList{"Add...", "Remove...", "Refresh", "Assign Hot Key", "", "MoveUp", "MoveDown"}));
        EXPECT_TRUE(enabled[COptionsTreeCtrl::AddCommand]);
        EXPECT_EQ(enabled[COptionsTreeCtrl::RemoveCommand], c.removable) << c.path.join('/').toStdString();
        EXPECT_TRUE(enabled[COptionsTreeCtrl::RefreshCommand]);
        EXPECT_FALSE(enabled[COptionsTreeCtrl::MoveUpCommand]);
        EXPECT_FALSE(enabled[COptionsTreeCtrl::MoveDownCommand]);
    }
}

TEST_F(OptionsTreeTest, CtrlClickSelectsSeveralInClickOrderAndAPlainClickOne) {
    QTreeWidgetItem* park = item({"Place", "USA", "Texas", "Austin", "Zilker Park"});
    QTreeWidgetItem* anna = item({"Person", "Family", "Berg", "Anna"});
    QTreeWidgetItem* rex = item({"Thing", "Pets", "Rex"});
    click(park);
    click(anna, Qt::ControlModifier);
    click(rex, Qt::ControlModifier);
    EXPECT_EQ(selectedTexts(), (QStringList{"Zilker Park", "Anna", "Rex"}));
    click(anna, Qt::ControlModifier);  // toggles it off
    EXPECT_EQ(selectedTexts(), (QStringList{"Zilker Park", "Rex"}));
    click(anna);
    EXPECT_EQ(selectedTexts(), QStringList{"Anna"});
}

TEST_F(OptionsTreeTest, DropsApplyTheSelectionToTheFormOnlyWhileAPictureIsOpen) {
    QTreeWidgetItem* berg = item({"Person", "Family", "Berg"});
    QTreeWidgetItem* park = item({"Place", "USA", "Texas", "Austin", "Zilker Park"});
    click(berg);
    click(park, Qt::ControlModifier);
    QWidget* headline = form_.control(CPicDataView::Headline);

    // No picture open: nothing changes.
    EXPECT_FALSE(tree_.dropSelectionOn(&form_));
    EXPECT_TRUE(form_.people().isEmpty());

    openPicture();
    QWidget elsewhere;
    EXPECT_FALSE(tree_.dropSelectionOn(&elsewhere));
    EXPECT_FALSE(tree_.dropSelectionOn(&tree_));
    EXPECT_TRUE(form_.people().isEmpty());

    // Onto one of the form's fields: the family gives each of its first names, the place its four fields.
    EXPECT_TRUE(tree_.dropSelectionOn(headline));
    EXPECT_EQ(form_.people(), (QStringList{"Anna Berg", "Olaf Berg"}));
    EXPECT_EQ(form_.control<QLineEdit>(CPicDataView::Location)->text(), "Zilker Park");
    EXPECT_EQ(form_.control<QLineEdit>(CPicDataView::City)->text(), "Austin");
    EXPECT_EQ(form_.control<QLineEdit>(CPicDataView::State)->text(), "Texas");
    EXPECT_EQ(form_.control<QLineEdit>(CPicDataView::Country)->text(), "USA");
    EXPECT_TRUE(frame_.document().isModified());

    // The large picture view takes drops too.
    QWidget large;
    tree_.setLargeView(&large);
    click(item({"Person", "Family", "Berg", "Anna"}));
    EXPECT_TRUE(tree_.dropSelectionOn(&large));
    EXPECT_EQ(form_.people().last(), "Anna Berg");
    frame_.document().setModified(false);
}

TEST_F(OptionsTreeTest, HotKeysApplyEveryRecordThatCarriesThem) {
    frame_.settings_.writeDword("Options\\Person\\Family\\Berg\\00Olaf", "hotkey", 116);
    frame_.settings_.writeDword("Options\\Place\\USA\\Texas\\Austin\\00Zilker Park", "hotkey", 116);
    frame_.settings_.writeDword("Options\\Person\\Family\\Berg", "hotkey", 117);
    tree_.Reload();
    openPicture();
    tree_.ApplyHotkey(116);
    EXPECT_EQ(form_.people(), QStringList{"Olaf Berg"});
    EXPECT_EQ(form_.control<QLineEdit>(CPicDataView::City)->text(), "Austin");
    // By hot key a family name is one entry with its group.
    tree_.ApplyHotkey(117);
    EXPECT_EQ(form_.people(), (QStringList{"Olaf Berg", "Berg Family"}));
    tree_.ApplyHotkey(118);
    EXPECT_EQ(form_.people().size(), 2);
    frame_.document().setModified(false);
}

TEST_F(OptionsTreeTest, AssignHotKeyFromTheContextMenuStoresShowsAndApplies) {
    // The submenu of the selected item: None, then Ctrl+F1 .. Ctrl+F12, the current one ticked; only
    // entries that applying puts into the form take a key.
    const auto hotkeyMenu = [this](const QStringList& path) -> std::pair<std::unique_ptr<QMenu>, QMenu*> {
        tree_.setCurrentItem(item(path));
        std::unique_ptr<QMenu> menu(tree_.createContextMenu(nullptr));
        for (QAction* action : menu->actions())
            if (action->menu() && action->text() == "Assign Hot Key") return {std::move(menu), action->menu()};
        ADD_FAILURE() << "no Assign Hot Key";
        return {std::move(menu), nullptr};
    };
    struct Case {
        QStringList path;
        bool assignable;
    };
    const Case cases[] = {{{"Person"}, false},
                          {{"Place", "USA"}, false},
                          {{"Person", "Family", "Berg"}, true},
                          {{"Thing", "Pets", "Rex"}, true},
                          {{"Place", "USA", "Texas", "Austin", "Zilker Park"}, true}};
    for (const Case& c : cases) {
        auto [owner, menu] = hotkeyMenu(c.path);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->isEnabled(), c.assignable) << c.path.join('/').toStdString();
        QStringList texts;
        for (QAction* action : menu->actions()) texts.append(action->text());
        EXPECT_EQ(texts.size(), 13);
        EXPECT_EQ(texts.first(), "None");
        EXPECT_EQ(texts.last(), "Ctrl+F12");
        EXPECT_TRUE(menu->actions().first()->isChecked());
    }

    const QString annaKey = "Options\\Person\\Family\\Berg\\00Anna";
    tree_.setCurrentItem(item({"Person", "Family", "Berg", "Anna"}));
    tree_.runCommand(COptionsTreeCtrl::HotkeyNoneCommand + 5);  // Ctrl+F5
    EXPECT_EQ(frame_.settings_.readDword(annaKey, "hotkey"), 116u);
    EXPECT_EQ(item({"Person", "Family", "Berg", "Anna"})->text(COptionsTreeCtrl::kHotkeyColumn), "Ctrl+F5");
    EXPECT_EQ(item({"Person", "Family", "Berg", "Anna"})->text(0), "Anna");  // the shown path is unchanged
    {
        auto [owner, menu] = hotkeyMenu({"Person", "Family", "Berg", "Anna"});
        ASSERT_NE(menu, nullptr);
        EXPECT_TRUE(menu->actions()[5]->isChecked());
        EXPECT_FALSE(menu->actions()[0]->isChecked());
    }
    // Stored where the key is read: a tree made afresh applies it.
    COptionsTreeCtrl again(frame_.settings_, frame_.prompter_, frame_.document_);
    again.setForm(&form_);
    EXPECT_EQ(again.findItem({"Person", "Family", "Berg", "Anna"})->text(COptionsTreeCtrl::kHotkeyColumn), "Ctrl+F5");
    openPicture();
    again.ApplyHotkey(116);
    EXPECT_EQ(form_.people(), QStringList{"Anna Berg"});

    tree_.setCurrentItem(item({"Person", "Family", "Berg", "Anna"}));
    tree_.runCommand(COptionsTreeCtrl::HotkeyNoneCommand);
    EXPECT_FALSE(frame_.settings_.valueExists(annaKey, "hotkey"));
    EXPECT_EQ(item({"Person", "Family", "Berg", "Anna"})->text(COptionsTreeCtrl::kHotkeyColumn), "");
    frame_.document().setModified(false);
}

TEST_F(OptionsTreeTest, AddingAndRemovingKeepTheBranchesTheUserOpened) {
    tree_.collapseAll();
    for (const QStringList& open : {QStringList{"Person"}, {"Person", "Family"}, {"Person", "Family", "Berg"},
                                    {"Place"}, {"Thing"}, {"Thing", "Pets"}})
        item(open)->setExpanded(true);
    const auto expandedPaths = [this] {
        QStringList paths;
        for (QTreeWidgetItemIterator it(&tree_); *it; ++it)
            if ((*it)->isExpanded()) paths.append(tree_.OptionPathOf(*it));
        return paths;
    };
    const QStringList before = expandedPaths();

    // Add (through the dialog) and Remove (after its question) both read the store again.
    tree_.setCurrentItem(item({"Thing", "Pets", "Rex"}));
    uitest::onModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CAddOptionsDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->combo(CAddOptionsDlg::Thing)->setEditText("Kitty");
        dialog->accept();
    });
    tree_.Add();
    ASSERT_NE(tree_.findItem({"Thing", "Pets", "Kitty"}), nullptr);
    EXPECT_EQ(expandedPaths(), before);
    EXPECT_EQ(tree_.OptionPathOf(tree_.currentItem()), "Thing:::Pets:::Rex");

    frame_.prompter_.answer(id::Yes);
    tree_.setCurrentItem(item({"Person", "Family", "Berg", "Olaf"}));
    tree_.Remove();
    ASSERT_EQ(tree_.findItem({"Person", "Family", "Berg", "Olaf"}), nullptr);
    EXPECT_EQ(expandedPaths(), before);
    EXPECT_FALSE(item({"Place", "USA"})->isExpanded());  // closed branches stay closed
}

TEST_F(OptionsTreeTest, AddOpensTheDialogOnTheSelectedItemAndReloads) {
    tree_.setCurrentItem(item({"Person", "Family", "Berg"}));
    uitest::onModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CAddOptionsDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->combo(CAddOptionsDlg::LastName)->currentText(), "Berg");
        dialog->combo(CAddOptionsDlg::FirstName)->setEditText("Eva");
        dialog->accept();
    });
    tree_.Add();
    EXPECT_NE(tree_.findItem({"Person", "Family", "Berg", "Eva"}), nullptr);
}

TEST_F(OptionsTreeTest, AddOptionsDialogPrefillAndCategories) {
    struct Case {
        QString path;
        CAddOptionsDlg::Category category;
        QMap<int, QString> texts;
    };
    using D = CAddOptionsDlg;
    const Case cases[] = {
        {"Person:::Family:::Berg", D::Category::Person, {{D::PersonGroup, "Family"}, {D::LastName, "Berg"}}},
        {"Place:::USA:::Texas", D::Category::Place, {{D::Country, "USA"}, {D::State, "Texas"}, {D::City, ""}}},
        {"Thing:::Pets:::Rex", D::Category::Thing, {{D::ThingGroup, "Pets"}, {D::Thing, ""}}},
        {"", D::Category::Person, {{D::PersonGroup, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        CAddOptionsDlg dialog(frame_.settings_, frame_.prompter_);
        dialog.setOptionPath(c.path);
        EXPECT_EQ(dialog.category(), c.category);
        for (auto it = c.texts.begin(); it != c.texts.end(); ++it)
            EXPECT_EQ(dialog.combo(it.key())->currentText(), it.value()) << it.key();
        const QList<int> person{D::PersonGroup, D::LastName, D::FirstName};
        const QList<int> place{D::Country, D::State, D::City, D::Location};
        const QList<int> thing{D::ThingGroup, D::Thing};
        const auto enabled = [&](const QList<int>& ids) {
            for (int id : ids)
                if (!dialog.combo(id)->isEnabled()) return false;
            return true;
        };
        const auto disabled = [&](const QList<int>& ids) {
            for (int id : ids)
                if (dialog.combo(id)->isEnabled()) return false;
            return true;
        };
        EXPECT_EQ(enabled(person), c.category == D::Category::Person);
        EXPECT_EQ(disabled(person), c.category != D::Category::Person);
        EXPECT_EQ(enabled(place), c.category == D::Category::Place);
        EXPECT_EQ(disabled(thing), c.category != D::Category::Thing);
    }

    // The lists hold the names the store has, without order prefixes.
    CAddOptionsDlg dialog(frame_.settings_, frame_.prompter_);
    QStringList firstNames;
    for (int i = 0; i < dialog.combo(D::FirstName)->count(); ++i) firstNames.append(dialog.combo(D::FirstName)->itemText(i));
    EXPECT_EQ(firstNames, (QStringList{"Anna", "Olaf"}));
    EXPECT_EQ(dialog.combo(D::Location)->itemText(0), "Zilker Park");
}

TEST_F(OptionsTreeTest, AddOptionsDialogRefusesNamesTheStoreCannotHold) {
    CAddOptionsDlg dialog(frame_.settings_, frame_.prompter_);
    dialog.setOptionPath("Person:::Club");
    dialog.combo(CAddOptionsDlg::LastName)->setEditText("Lind/Berg");
    dialog.combo(CAddOptionsDlg::FirstName)->setEditText("Eva");
    frame_.prompter_.answer(id::Ok);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    ASSERT_EQ(frame_.prompter_.askedTexts(), QStringList{"Last Name cannot be empty or contain \"/\" or \"\\\"."});
    EXPECT_FALSE(frame_.settings_.keyExists("Options\\Person\\Club"));

    frame_.prompter_ = ScriptedPrompter();
    dialog.combo(CAddOptionsDlg::LastName)->setEditText("Lind");
    dialog.combo(CAddOptionsDlg::FirstName)->setEditText("");
    frame_.prompter_.answer(id::Ok);
    dialog.accept();
    EXPECT_EQ(frame_.prompter_.askedTexts(), QStringList{"First Name cannot be empty or contain \"/\" or \"\\\"."});

    frame_.prompter_ = ScriptedPrompter();
    dialog.combo(CAddOptionsDlg::FirstName)->setEditText("Eva");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(frame_.prompter_.asked().isEmpty());
    EXPECT_TRUE(frame_.settings_.keyExists("Options\\Person\\Club\\Lind\\00Eva"));
}
