#include "addoptionsdlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "optionsstore.h"
#include "prompter.h"

namespace {

QString objectNameFor(int id) { return QStringLiteral("ctl%1").arg(id); }

}  // namespace

const QList<CAddOptionsDlg::Field>& CAddOptionsDlg::fields() {
    static const QList<Field> all = {
        {PersonGroup, QStringLiteral("Group:"), Category::Person, QStringLiteral("Person"), 1},
        {LastName, QStringLiteral("Last Name:"), Category::Person, QStringLiteral("Person"), 2},
        {FirstName, QStringLiteral("First Name"), Category::Person, QStringLiteral("Person"), 3},
        {Country, QStringLiteral("Country:"), Category::Place, QStringLiteral("Place"), 1},
        {State, QStringLiteral("State:"), Category::Place, QStringLiteral("Place"), 2},
        {City, QStringLiteral("City:"), Category::Place, QStringLiteral("Place"), 3},
        {Location, QStringLiteral("Location:"), Category::Place, QStringLiteral("Place"), 4},
        {ThingGroup, QStringLiteral("Group:"), Category::Thing, QStringLiteral("Thing"), 1},
        {Thing, QStringLiteral("Thing:"), Category::Thing, QStringLiteral("Thing"), 2},
    };
    return all;
}

CAddOptionsDlg::CAddOptionsDlg(SettingsStore& store, Prompter& prompter, QWidget* parent)
    : QDialog(parent), store_(store), prompter_(prompter) {
    setWindowTitle(QStringLiteral("Add Options"));
    person_ = new QRadioButton(QStringLiteral("Person"), this);
    place_ = new QRadioButton(QStringLiteral("Place"), this);
    thing_ = new QRadioButton(QStringLiteral("Thing"), this);
    person_->setObjectName(objectNameFor(PersonRadio));
    place_->setObjectName(objectNameFor(PlaceRadio));
    thing_->setObjectName(objectNameFor(ThingRadio));

    // Each category in its own frame, its choice at the top.
    auto* columns = new QHBoxLayout;
    const std::pair<Category, QRadioButton*> categories[] = {
        {Category::Person, person_}, {Category::Place, place_}, {Category::Thing, thing_}};
    for (const auto& [category, radio] : categories) {
        auto* frame = new QGroupBox(this);
        auto* form = new QFormLayout(frame);
        form->addRow(radio);
        for (const Field& field : fields())
            if (field.category == category) form->addRow(field.label, makeCombo(field));
        columns->addWidget(frame, 1, Qt::AlignTop);
        connect(radio, &QRadioButton::clicked, this, [this, category] { chooseCategory(category); });
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    save->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAddOptionsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAddOptionsDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
    chooseCategory(Category::Person);
}

QComboBox* CAddOptionsDlg::makeCombo(const Field& field) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(objectNameFor(field.id));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMinimumContentsLength(14);
    // The names of this level under every parent; a name under two parents is listed twice.
    QStringList names = OptionsStore(store_).namesAt(field.storeCategory, field.depth);
    std::stable_sort(names.begin(), names.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    combo->addItems(names);
    combo->setCurrentIndex(-1);
    combo->setEditText({});
    return combo;
}

QComboBox* CAddOptionsDlg::combo(int id) const { return findChild<QComboBox*>(objectNameFor(id)); }

void CAddOptionsDlg::setOptionPath(const QString& path) {
    const QStringList parts = (path + QStringLiteral(":::")).split(QStringLiteral(":::"));
    const auto part = [&parts](int i) { return parts.value(i); };
    const auto fill = [this](int id, const QString& text) { combo(id)->setEditText(text); };
    if (path.left(6) == QLatin1String("Person")) {
        fill(PersonGroup, part(1));
        fill(LastName, part(2));
        chooseCategory(Category::Person);
    } else if (path.left(5) == QLatin1String("Place")) {
        fill(Country, part(1));
        fill(State, part(2));
        fill(City, part(3));
        chooseCategory(Category::Place);
    } else if (path.left(5) == QLatin1String("Thing")) {
        fill(ThingGroup, part(1));
        chooseCategory(Category::Thing);
    } else {
        chooseCategory(Category::Person);
    }
}

void CAddOptionsDlg::chooseCategory(Category category) {
    category_ = category;
    person_->setChecked(category == Category::Person);
    place_->setChecked(category == Category::Place);
    thing_->setChecked(category == Category::Thing);
    for (const Field& field : fields()) combo(field.id)->setEnabled(field.category == category);
}

void CAddOptionsDlg::accept() {
    QStringList values;
    for (const Field& field : fields()) {
        if (field.category != category_) continue;
        const QString text = combo(field.id)->currentText();
        if (!OptionsStore::isValidKeyName(text)) {
            QString name = field.label;
            if (name.endsWith(QLatin1Char(':'))) name.chop(1);
            prompter_.messageBox(QStringLiteral("%1 cannot be empty or contain \"/\" or \"\\\".").arg(name),
                                 QStringLiteral("Add Options"), mb::Ok | mb::IconExclamation);
            combo(field.id)->setFocus();
            return;
        }
        values.append(text);
    }
    OptionsStore options(store_);
    switch (category_) {
        case Category::Person:
            options.addPerson(values[0], values[1], values[2]);
            break;
        case Category::Place:
            options.addPlace(values[0], values[1], values[2], values[3]);
            break;
        case Category::Thing:
            options.addThing(values[0], values[1]);
            break;
    }
    QDialog::accept();
}
