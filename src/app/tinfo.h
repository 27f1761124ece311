#pragma once

#include <QDialog>

// The about box: program, version and licence.
class TInfo : public QDialog {
    Q_OBJECT
public:
    explicit TInfo(QWidget* parent = nullptr);
};
