#include "PathControl.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

PathControl::PathControl(QWidget* parent) : QWidget(parent), m_layout(new QHBoxLayout(this)) {
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
}

QStringList PathControl::componentPaths() const {
    QStringList paths;
    if (m_path.isEmpty()) {
        return paths;
    }
    QString partial;
    paths << QStringLiteral("/");
    for (const QString& part : m_path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        partial += QLatin1Char('/') + part;
        paths << partial;
    }
    return paths;
}

void PathControl::setPath(const QString& path) {
    m_path = path.isEmpty() ? QString() : QDir::cleanPath(path);
    while (QLayoutItem* item = m_layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QStringList paths = componentPaths();
    for (int index = 0; index < paths.size(); ++index) {
        if (index > 0) {
            auto* separator = new QLabel(QStringLiteral("›"), this);
            separator->setEnabled(false);
            m_layout->addWidget(separator);
        }
        auto* button = new QToolButton(this);
        const QString folder = paths.at(index);
        const QString name = index == 0 ? QStringLiteral("/") : QDir(folder).dirName();
        // A "&" in a folder name is a letter, not a shortcut mark.
        button->setText(folder == QDir::homePath()
                            ? QStringLiteral("~")
                            : QString(name).replace(QLatin1Char('&'), QStringLiteral("&&")));
        button->setToolTip(folder);
        button->setAutoRaise(true);
        button->setToolButtonStyle(index == paths.size() - 1 ? Qt::ToolButtonTextBesideIcon
                                                             : Qt::ToolButtonTextOnly);
        if (index == paths.size() - 1) {
            button->setIcon(style()->standardIcon(QStyle::SP_DirIcon));
        }
        button->setObjectName(QStringLiteral("pathComponent%1").arg(index));
        connect(button, &QToolButton::clicked, this,
                [this, folder] { emit componentClicked(folder); });
        m_layout->addWidget(button);
    }
    m_layout->addStretch(1);
}
