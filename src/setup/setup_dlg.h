#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

class CSettingsStore;
class QTabWidget;

// The settings window "설정 / 거리계산": one tab per page, "적용" applying only the page in
// front, "닫기" hiding the window. The active tab is kept in "SETUP"/"TAB".
class CSetupDlg : public QDialog {
    Q_OBJECT

public:
    explicit CSetupDlg(CSettingsStore& store, QWidget* parent = nullptr);

    // Pages are added in tab order; apply writes the page's keys.
    void AddPage(const QString& title, QWidget* page, std::function<void()> apply);
    // After the pages are in: the stored tab comes to the front.
    void ShowStoredTab();

    int CurrentTab() const;
    int PageCount() const;
    QWidget* Page(int tab) const;

public slots:
    void SelectTab(int tab);
    // Applies the page in front, then tells the window which tab's settings changed.
    void Apply();

signals:
    void applied(int tab);
    // A tab came to the front (pages may refresh what they show).
    void tabShown(int tab);

private:
    CSettingsStore& store_;
    QTabWidget* tabs_ = nullptr;
    std::vector<std::function<void()>> applies_;
};
