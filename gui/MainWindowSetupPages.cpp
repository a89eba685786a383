// The setup pages: one editor per setup item, spread over eight pages by id; the header page; the
// links that show, hide or disable items after a list item changed; restoring defaults or the values
// read; and the transfer of edited values into the printer data.
#include "gui/MainWindow.h"
#include "ui_MainWindow.h"

#include "gui/DialogSeam.h"
#include "gui/dialogs/SetupRestoreDialog.h"
#include "gui/editors/SetupItemCheckBoxes.h"
#include "gui/editors/SetupItemDateTime.h"
#include "gui/editors/SetupItemNumeric.h"
#include "gui/editors/SetupItemSelection.h"
#include "gui/editors/SetupItemText.h"
#include "model/SetupItemLinks.h"

#include <QStringList>
#include <cstdio>

namespace {

constexpr int kOrloPage = 4;

QString FromText(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

bool MainWindow::checkIdInPageIsVisible(int64_t id, int page) {
    return page < 0 || (page < kSetupPageCount && setup_pages::PageOf(id) == page);
}

QAbstractButton* MainWindow::setupPageButton(int page) const {
    QAbstractButton* const buttons[kSetupPageCount] = {
        ui->radioButton_SetupCommunication, ui->radioButton_SetupPrint,   ui->radioButton_SetupBlackmark,
        ui->radioButton_SetupGeneric,       ui->radioButton_SetupOrlo,    ui->radioButton_SetupOrloATB,
        ui->radioButton_SetupOrloBTP,       ui->radioButton_SetupOrloRFID};
    return buttons[page];
}

int MainWindow::currentSetupPage() const {
    for (int page = 0; page < kSetupPageCount; ++page)
        if (setupPageButton(page)->isChecked())
            return page;
    return -1;
}

void MainWindow::handleGroupSetupMenuToggled(QAbstractButton* button, bool checked) {
    if (!checked)
        return;
    if (button == ui->radioButton_SetupInfo) {
        ui->widget_SetupItems->setUpdatesEnabled(false);
        for (SetupItemBase* widget : m_setupItems)
            widget->hide();
        ui->widget_SetupItems->setUpdatesEnabled(true);
        ui->label_SetupHeader->show();
        ui->pushButton_RestoreDefault->hide();
        ui->pushButton_RestoreReset->hide();
        return;
    }
    for (int page = 0; page < kSetupPageCount; ++page)
        if (button == setupPageButton(page))
            showSetupPage(page);
}

void MainWindow::showSetupPage(int page) {
    ui->label_SetupHeader->hide();
    ui->pushButton_RestoreDefault->show();
    ui->pushButton_RestoreReset->show();
    // One layout pass for the whole page instead of one per widget shown or hidden.
    ui->widget_SetupItems->setUpdatesEnabled(false);
    for (SetupItemBase* widget : m_setupItems) {
        widget->setEnableByLinkStatus(true);
        widget->setVisibleByLinkStatus(checkIdInPageIsVisible(widget->getId(), page));
    }
    ui->widget_SetupItems->setUpdatesEnabled(true);
}

void MainWindow::showPrinterData() {
    ui->stackedWidgetMainBody->setCurrentWidget(ui->page_2);
    showSetupData();
    showToolsData();
    showUpgradeData();
    showStatusData();
}

void MainWindow::resetSetupData() {
    for (SetupItemBase* widget : m_setupItems)
        delete widget;
    m_setupItems.clear();
    m_setupItemsById.clear();
}

QString MainWindow::setupHeaderText() const {
    QString text;
    if (const InfoItemPrnDeviceInfo* info = m_printerData.GetDeviceInfo())
        for (const std::string& line : info->GetTextLines())
            text += FromText(line).trimmed() + "\n";
    if (m_showExtendedInfo) {
        text += "\n";
        if (const InfoItemPrnLifeInfo* life = m_printerData.GetLifeInfo())
            for (const std::string& line : life->GetTextLines())
                text += FromText(line).trimmed() + "\n";
    }
    return text;
}

void MainWindow::showSetupData() {
    QWidget* container = ui->widget_SetupItems;
    if (container->styleSheet().isEmpty())
        container->setStyleSheet(SetupItemBase::pageStyleSheet());
    // Building hundreds of editors with updates off costs one layout pass instead of one per editor.
    container->setUpdatesEnabled(false);
    resetSetupData();
    ui->label_SetupHeader->setText(setupHeaderText());
    for (const auto& item : m_printerData.GetSetupItems()) {
        SetupItemBase* widget = createSetupItemWidget(*item);
        if (widget == nullptr) {
            printf("showSetupData Id=%d, type %d not supported\n", static_cast<int>(item->GetId()),
                   item->GetType());
            continue;
        }
        // Hidden explicitly, or the layout would show it: a page shows its own items when chosen.
        widget->hide();
        ui->verticalLayout_SetupItems->addWidget(widget);
        m_setupItems.append(widget);
        m_setupItemsById.insert(widget->getId(), widget);
        connect(widget, &SetupItemBase::valueChanged, this, &MainWindow::hanleSetupItemValueChanged);
    }
    setEmptyPagesInvisible();
    manageLinkDependency();
    const int page = currentSetupPage();
    if (page >= 0 && !setupPageButton(page)->isHidden())
        showSetupPage(page);
    else if (page >= 0) // the page shown before has no items now
        ui->radioButton_SetupInfo->setChecked(true);
    container->setUpdatesEnabled(true);
}

SetupItemBase* MainWindow::createSetupItemWidget(SetupItemType& item) {
    const QString description = FromText(item.GetDescription());
    const QString additional = FromText(item.GetAddDescription());
    // Made inside the container: moving a styled widget to a new parent would polish it all over again.
    QWidget* parent = ui->widget_SetupItems;
    SetupItemBase* widget = nullptr;
    if (auto* list = dynamic_cast<SetupItemTypeList*>(&item)) {
        auto* selection = new SetupItemSelection(parent);
        QStringList texts;
        for (const ListItem& element : list->GetItems())
            texts << FromText(element.Text);
        selection->setFirstValue(list->GetFirstValue());
        selection->setSelection(texts);
        selection->setDescription(description, additional);
        selection->setDefaultValue(list->GetDefaultValue());
        selection->setBaseValue(list->GetCurrentUIValue());
        widget = selection;
    } else if (auto* numeric = dynamic_cast<SetupItemTypeNumeric*>(&item)) {
        auto* editor = new SetupItemNumeric(parent);
        editor->setStepRange(numeric->GetStepValue(), numeric->GetMinValue(), numeric->GetMaxValue());
        editor->setDescription(description, additional);
        editor->setDefaultValue(static_cast<double>(numeric->GetDefValue()));
        editor->setBaseValue(static_cast<double>(numeric->GetCurUIValue()));
        widget = editor;
    } else if (auto* dateTime = dynamic_cast<SetupItemTypeDateTime*>(&item)) {
        auto* editor = new SetupItemDateTime(parent);
        editor->setDescription(description, additional);
        editor->setDefaultValue(static_cast<qlonglong>(dateTime->GetCurDateTime()));
        editor->setBaseValue(static_cast<qlonglong>(dateTime->GetCurUIDateTime()));
        widget = editor;
    } else if (auto* text = dynamic_cast<SetupItemTypeString*>(&item)) {
        auto* editor = new SetupItemText(parent);
        editor->setLengthRange(text->GetMinLen(), text->GetMaxLen());
        editor->setDataBitmask(text->GetDataMask());
        editor->setDescription(description, additional);
        editor->setDefaultValue(FromText(text->GetDefValue()));
        editor->setBaseValue(FromText(text->GetCurUIValue()));
        widget = editor;
    } else if (auto* boxes = dynamic_cast<SetupItemTypeCheckbox*>(&item)) {
        auto* editor = new SetupItemCheckBoxes(parent);
        const int count = static_cast<int>(boxes->MeaningfulBytes());
        editor->setButtonGroupForItem(*boxes);
        editor->setDescription(description, additional);
        editor->setDefaultValue(SetupItemCheckBoxes::fromBytePtr(boxes->GetDefValue().data(), count));
        editor->setBaseValue(SetupItemCheckBoxes::fromBytePtr(boxes->GetCurUIValue().data(), count));
        widget = editor;
    }
    if (widget != nullptr) {
        widget->setId(static_cast<int>(item.GetId()));
        widget->setDataRef(&item);
    }
    return widget;
}

void MainWindow::setEmptyPagesInvisible() {
    std::array<bool, kSetupPageCount> used{};
    for (SetupItemBase* widget : m_setupItems)
        for (int page = 0; page < kSetupPageCount; ++page)
            if (checkIdInPageIsVisible(widget->getId(), page))
                used[page] = true;
    for (int page = 0; page < kSetupPageCount; ++page)
        setupPageButton(page)->setVisible(used[page]);
    // The Orlo button leads to the Orlo family (ATB, BTP, RFID) too.
    const bool orloFamily = used[4] || used[5] || used[6] || used[7];
    setupPageButton(kOrloPage)->setVisible(orloFamily);
}

void MainWindow::manageLinkDependency() {
    for (SetupItemBase* widget : m_setupItems)
        hanleLinkDependencyOnValueChanged(widget, widget->getId());
}

void MainWindow::hanleSetupItemValueChanged(SetupItemBase* sender, int id) {
    hanleLinkDependencyOnValueChanged(sender, id);
}

void MainWindow::hanleLinkDependencyOnValueChanged(SetupItemBase* widget, int /*id: the widget's own*/) {
    const SetupItemLinkList* links = m_printerData.GetSetupItemLinkList();
    SetupItemType* source = widget->getDataRef();
    // Only list items are link sources.
    if (links == nullptr || source == nullptr || widget->getType() != PROT_TYPE_LIST)
        return;
    const int32_t value = widget->getValue().toInt();
    for (const LinkAction& action : EvaluateLinks(*links, *source, value))
        ViewElementById(action.IdDst, action.ViewOp);
}

void MainWindow::ViewElementById(uint64_t id, int32_t operation) {
    SetupItemBase* widget = m_setupItemsById.value(static_cast<int>(id), nullptr);
    if (widget == nullptr)
        return; // a destination no editor shows
    const LinkViewState state = LinkViewStateOf(operation);
    widget->setStatusLink(state.Enabled, state.Visible);
    const int page = currentSetupPage();
    if (page >= 0 && checkIdInPageIsVisible(widget->getId(), page)) {
        widget->setEnableByLinkStatus(true);
        widget->setVisibleByLinkStatus(true);
    }
}

void MainWindow::handleRestoreDefaultClicked() {
    restoreSetupItems(true);
}

void MainWindow::handleRestoreResetClicked() {
    restoreSetupItems(false);
}

void MainWindow::restoreSetupItems(bool toDefault) {
    SetupRestoreDialog dialog(this);
    if (DialogSeam::exec(dialog) != QDialog::Accepted)
        return;
    const int page = dialog.getSelection() == 1 ? currentSetupPage() : -1;
    for (SetupItemBase* widget : m_setupItems) {
        if (!checkIdInPageIsVisible(widget->getId(), page))
            continue;
        if (toDefault)
            widget->resetToDefault();
        else
            widget->resetToBase();
    }
}

void MainWindow::updateSetupDataFromUi() {
    for (SetupItemBase* widget : m_setupItems) {
        SetupItemType* item = widget->getDataRef();
        if (item == nullptr || !widget->isValueChanged())
            continue;
        const QVariant value = widget->getValue();
        switch (widget->getType()) {
        case PROT_TYPE_LIST:
            static_cast<SetupItemTypeList*>(item)->SetCurrentUIValue(value.toInt());
            break;
        case PROT_TYPE_NUMERIC:
            static_cast<SetupItemTypeNumeric*>(item)->SetCurUIValue(value.toFloat());
            break;
        case PROT_TYPE_DATETIME:
            static_cast<SetupItemTypeDateTime*>(item)->SetCurUIDateTime(value.toLongLong());
            break;
        case PROT_TYPE_STRING:
            static_cast<SetupItemTypeString*>(item)->SetCurUIValue(value.toString().toStdString());
            break;
        case PROT_TYPE_CHECKBOXES: {
            auto* boxes = static_cast<SetupItemTypeCheckbox*>(item);
            SetupItemCheckBoxes::toBytePtr(value.toByteArray(), boxes->CurUIValue().data(),
                                           static_cast<int>(boxes->MeaningfulBytes()));
            break;
        }
        default:
            printf("updateSetupDataFromUi Id=%d, type %d not supported\n", widget->getId(),
                   widget->getType());
            break;
        }
    }
}

// After a write (or a save) the edited values are what the printer (or the file) holds: they become
// both the item's current value and the editor's base value, so they no longer count as changed.
void MainWindow::updateSetupDataAfterWrite() {
    for (SetupItemBase* widget : m_setupItems) {
        SetupItemType* item = widget->getDataRef();
        if (item == nullptr || !widget->isValueChanged())
            continue;
        switch (widget->getType()) {
        case PROT_TYPE_LIST: {
            auto* list = static_cast<SetupItemTypeList*>(item);
            list->SetCurrentValue(list->GetCurrentUIValue());
            widget->setBaseValue(list->GetCurrentValue());
            break;
        }
        case PROT_TYPE_NUMERIC: {
            auto* numeric = static_cast<SetupItemTypeNumeric*>(item);
            numeric->SetCurValue(numeric->GetCurUIValue());
            widget->setBaseValue(static_cast<double>(numeric->GetCurValue()));
            break;
        }
        case PROT_TYPE_DATETIME: {
            auto* dateTime = static_cast<SetupItemTypeDateTime*>(item);
            dateTime->SetCurDateTime(dateTime->GetCurUIDateTime());
            widget->setBaseValue(static_cast<qlonglong>(dateTime->GetCurDateTime()));
            break;
        }
        case PROT_TYPE_STRING: {
            auto* text = static_cast<SetupItemTypeString*>(item);
            text->SetCurValue(text->GetCurUIValue());
            widget->setBaseValue(FromText(text->GetCurValue()));
            break;
        }
        case PROT_TYPE_CHECKBOXES: {
            auto* boxes = static_cast<SetupItemTypeCheckbox*>(item);
            boxes->CurValue() = boxes->GetCurUIValue();
            const int count = static_cast<int>(boxes->MeaningfulBytes());
            widget->setBaseValue(SetupItemCheckBoxes::fromBytePtr(boxes->GetCurValue().data(), count));
            break;
        }
        default:
            printf("updateSetupDataAfterWrite Id=%d, type %d not supported\n", widget->getId(),
                   widget->getType());
            break;
        }
    }
}
