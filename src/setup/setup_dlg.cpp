#include "setup/setup_dlg.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "settings/settings_store.h"

CSetupDlg::CSetupDlg(CSettingsStore& store, QWidget* parent) : QDialog(parent), store_(store)
{
    setWindowTitle(tr("설정 / 거리계산"));
    setModal(false);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("setupTabs"));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* apply = buttons->addButton(tr("적용"), QDialogButtonBox::ApplyRole);
    QPushButton* close = buttons->addButton(tr("닫기"), QDialogButtonBox::RejectRole);
    apply->setObjectName(QStringLiteral("applyButton"));
    connect(apply, &QPushButton::clicked, this, &CSetupDlg::Apply);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab < 0) return;
        store_.Write(settings::kSetupTab, tab);
        emit tabShown(tab);
    });
}

void CSetupDlg::AddPage(const QString& title, QWidget* page, std::function<void()> apply)
{
    // Pages are dialogs of their own; inside the tabs they are plain widgets.
    page->setWindowFlags(Qt::Widget);
    tabs_->blockSignals(true);  // the first page would otherwise count as a tab change
    tabs_->addTab(page, title);
    tabs_->blockSignals(false);
    applies_.push_back(std::move(apply));
}

void CSetupDlg::ShowStoredTab()
{
    const int stored = store_.Get(settings::kSetupTab);
    SelectTab(stored >= 0 && stored < PageCount() ? stored : 0);
}

int CSetupDlg::CurrentTab() const { return tabs_->currentIndex(); }

int CSetupDlg::PageCount() const { return tabs_->count(); }

QWidget* CSetupDlg::Page(int tab) const { return tabs_->widget(tab); }

void CSetupDlg::SelectTab(int tab)
{
    if (tab < 0 || tab >= PageCount()) return;
    if (tab == tabs_->currentIndex()) {
        store_.Write(settings::kSetupTab, tab);
        emit tabShown(tab);
        return;
    }
    tabs_->setCurrentIndex(tab);
}

void CSetupDlg::Apply()
{
    const int tab = CurrentTab();
    if (tab < 0) return;
    store_.Write(settings::kSetupTab, tab);
    if (applies_[static_cast<std::size_t>(tab)]) applies_[static_cast<std::size_t>(tab)]();
    emit applied(tab);
}
