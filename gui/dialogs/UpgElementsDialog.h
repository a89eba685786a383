// The component dialog of a firmware upgrade: one box per kind of component the package carries
// (firmware, fonts, flash disk, logos, other modules), so the user can leave some out, unless the
// package must be installed whole. Run it through DialogSeam::exec; OK accepts, Cancel rejects.
#pragma once

#include <QDialog>

#include <memory>

class PSWComponents;
class QCheckBox;

namespace Ui {
class UpgElementsDialog;
}

class UpgElementsDialog : public QDialog {
    Q_OBJECT

public:
    // `allRequired`: every present component is checked and cannot be unchecked.
    UpgElementsDialog(const PSWComponents& components, bool allRequired, QWidget* parent = nullptr);
    ~UpgElementsDialog() override;

    // The checked components, firmware first, then fonts, flash disk, logos and other modules; fonts
    // and flash disk keep the before/after code the package gave them. `count` (may be null) receives
    // the number of entries.
    [[nodiscard]] std::unique_ptr<PSWComponents> getModulesFromUIAvailable(int* count) const;

private:
    // 0 when the package has the before code, 1 for the after code, -1 when it has neither.
    static int VariantOf(const PSWComponents& components, int before, int after);
    static void ShowPresence(QCheckBox& box, bool present, bool allRequired);

    std::unique_ptr<Ui::UpgElementsDialog> m_ui;
    int m_fontsVariant = 0;
    int m_flashDiskVariant = 0;
};
