#pragma once
// "Add Options": adds a person, a place or a thing to the options store. The lists offer the names
// the store already holds at each level; the fields start from the OptionPath of the tree item the
// dialog was opened on. Save creates the keys of the chosen category and closes with OK; a name the
// store cannot hold as one key (empty, or with "/" or "\") is refused with a message naming its field.

#include <QDialog>

class Prompter;
class QComboBox;
class QRadioButton;
class SettingsStore;

class CAddOptionsDlg : public QDialog {
    Q_OBJECT
public:
    enum Control : int {
        PersonRadio = 1094, PersonGroup = 1016, LastName = 1004, FirstName = 1034,
        PlaceRadio = 1095, Country = 1009, State = 1002, City = 1032, Location = 1008,
        ThingRadio = 1097, ThingGroup = 1020, Thing = 1007,
    };
    enum class Category { Person, Place, Thing };

    CAddOptionsDlg(SettingsStore& store, Prompter& prompter, QWidget* parent = nullptr);

    // Fills the fields from "Person:::group:::family", "Place:::country:::state:::city" or
    // "Thing:::group" and chooses that category; any other path chooses Person.
    void setOptionPath(const QString& path);
    void chooseCategory(Category category);
    Category category() const { return category_; }
    QComboBox* combo(int id) const;

    // Save.
    void accept() override;

private:
    struct Field {
        int id;
        QString label;
        Category category;
        QString storeCategory;  // the key below "Options" whose levels fill the list
        int depth;
    };
    static const QList<Field>& fields();
    QComboBox* makeCombo(const Field& field);

    SettingsStore& store_;
    Prompter& prompter_;
    Category category_ = Category::Person;
    QRadioButton* person_ = nullptr;
    QRadioButton* place_ = nullptr;
    QRadioButton* thing_ = nullptr;
};
