#include "gui/dialogs/UpgElementsDialog.h"

#include "firmware/PSWComponents.h"
#include "gui/dialogs/DialogStyle.h"
#include "ui_UpgElementsDialog.h"

UpgElementsDialog::UpgElementsDialog(const PSWComponents& components, bool allRequired, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::UpgElementsDialog>()) {
    m_ui->setupUi(this);
    DialogStyle::Apply(*this);
    m_ui->label->setText(allRequired ? "All components will be upgraded"
                                     : "Select the components to upgrade:");

    ShowPresence(*m_ui->checkBox_Firmware, components.HasComponent(PSW_COMPONENT_SOFTWARE), allRequired);
    ShowPresence(*m_ui->checkBox_Logos, components.HasComponent(PSW_COMPONENT_LOGOS_AFTER), allRequired);
    ShowPresence(*m_ui->checkBox_OtherModules, components.HasComponent(PSW_COMPONENT_OTHER_AFTER),
                 allRequired);
    const int fonts = VariantOf(components, PSW_COMPONENT_FONTS_BEFORE, PSW_COMPONENT_FONTS_AFTER);
    const int flashDisk =
        VariantOf(components, PSW_COMPONENT_FLASHDISK_BEFORE, PSW_COMPONENT_FLASHDISK_AFTER);
    m_fontsVariant = fonts == 1 ? 1 : 0;
    m_flashDiskVariant = flashDisk == 1 ? 1 : 0;
    ShowPresence(*m_ui->checkBox_Fonts, fonts >= 0, allRequired);
    ShowPresence(*m_ui->checkBox_FlashDisk, flashDisk >= 0, allRequired);

    connect(m_ui->pushButton_OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->pushButton_Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

UpgElementsDialog::~UpgElementsDialog() = default;

int UpgElementsDialog::VariantOf(const PSWComponents& components, int before, int after) {
    if (components.HasComponent(before))
        return 0;
    return components.HasComponent(after) ? 1 : -1;
}

void UpgElementsDialog::ShowPresence(QCheckBox& box, bool present, bool allRequired) {
    box.setChecked(present);
    box.setEnabled(present && !allRequired);
    box.setVisible(present);
}

std::unique_ptr<PSWComponents> UpgElementsDialog::getModulesFromUIAvailable(int* count) const {
    auto chosen = std::make_unique<PSWComponents>();
    if (m_ui->checkBox_Firmware->isChecked())
        chosen->Add(PSW_COMPONENT_SOFTWARE);
    if (m_ui->checkBox_Fonts->isChecked())
        chosen->Add(m_fontsVariant == 0 ? PSW_COMPONENT_FONTS_BEFORE : PSW_COMPONENT_FONTS_AFTER);
    if (m_ui->checkBox_FlashDisk->isChecked())
        chosen->Add(m_flashDiskVariant == 0 ? PSW_COMPONENT_FLASHDISK_BEFORE : PSW_COMPONENT_FLASHDISK_AFTER);
    if (m_ui->checkBox_Logos->isChecked())
        chosen->Add(PSW_COMPONENT_LOGOS_AFTER);
    if (m_ui->checkBox_OtherModules->isChecked())
        chosen->Add(PSW_COMPONENT_OTHER_AFTER);
    if (count != nullptr)
        *count = chosen->Size();
    return chosen;
}
