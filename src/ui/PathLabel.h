#pragma once

#include <QLabel>

// A path on one line: shortened in the middle to the width it gets, where it is least telling,
// whole in its tooltip and accessible name, and read left to right in every language.
class PathLabel : public QLabel {
    Q_OBJECT

public:
    explicit PathLabel(QWidget* parent = nullptr);

    void setPath(const QString& path);
    const QString& path() const { return m_path; }

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString m_path;
};
