#pragma once

#include <QComboBox>

namespace ferrocase {

// The file system's roots and mounted volumes, "/" first.
class ChooserDriveList : public QComboBox {
    Q_OBJECT

public:
    explicit ChooserDriveList(QWidget* parent = nullptr);

    // The root folder of the chosen volume.
    QString rootPath() const;
    // Chooses the volume that holds the path.
    void selectVolumeOf(const QString& path);
};

} // namespace ferrocase
