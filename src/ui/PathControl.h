#pragma once

#include <QString>
#include <QWidget>

class QHBoxLayout;

// A folder shown as a row of its folders, from the root down; a click on one
// of them hands that folder's path on.
class PathControl : public QWidget {
    Q_OBJECT
public:
    explicit PathControl(QWidget* parent = nullptr);

    void setPath(const QString& path);
    QString path() const { return m_path; }
    // The folder each button stands for, from the root down.
    QStringList componentPaths() const;

signals:
    void componentClicked(const QString& path);

private:
    QHBoxLayout* m_layout;
    QString m_path;
};
