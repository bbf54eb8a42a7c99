#pragma once
// The "Search" dialog of the browser. Its values live as long as the dialog object, which the browser
// keeps for its own life, so a search starts from the criteria of the last one. Only the Search
// button takes the values from the controls; Close leaves them as they were.

#include <QDialog>

#include "search.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;

class CSearchDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSearchDlg(QWidget* parent = nullptr);

    // Shows the kept values (with the first rating item selected, as at every opening) and runs the
    // dialog. Accepted means Search was pressed.
    int exec() override;

    // The criteria kept from the last Search (or the initial ones).
    const search::Criteria& criteria() const { return values_; }
    // The values at construction and after Clear: empty texts, every group, any rating, from
    // 1900-01-01 00:00:00 to now, flags ignored.
    static search::Criteria initialCriteria();

    // The Search button: reads the controls, From at 00:00:00 and To at 23:59:59, and closes with OK.
    void searchClicked();
    // The Clear button: every value back to its initial state, shown at once.
    void clearClicked();
    // Puts the kept values into the controls; the rating list starts at its first item.
    void showValues();

    QLineEdit* textField(int index) const { return texts_[index]; }
    QCheckBox* peopleBox() const { return people_; }
    QCheckBox* placeBox() const { return place_; }
    QCheckBox* otherBox() const { return other_; }
    QComboBox* ratingList() const { return rating_; }
    QDateEdit* fromDate() const { return from_; }
    QDateEdit* toDate() const { return to_; }
    QButtonGroup* flagButtons() const { return flags_; }

private:
    search::Criteria values_;
    std::array<QLineEdit*, 3> texts_{};
    QCheckBox* people_ = nullptr;
    QCheckBox* place_ = nullptr;
    QCheckBox* other_ = nullptr;
    QComboBox* rating_ = nullptr;
    QDateEdit* from_ = nullptr;
    QDateEdit* to_ = nullptr;
    QButtonGroup* flags_ = nullptr;
};
