#pragma once
// A page control whose tabs wrap onto several rows, so that every page's
// caption stays readable in the narrow left column of the main window.

#include <QWidget>

class QButtonGroup;
class QVBoxLayout;
class QStackedWidget;

class PageControl : public QWidget {
    Q_OBJECT
public:
    explicit PageControl(QWidget *parent = nullptr);

    // Adds a page; its tab goes into the given row of tabs.
    QWidget *Add_Page(const QString &objectName, const QString &caption, const QIcon &icon, int row);
    int currentIndex() const;
    void setCurrentIndex(int index);
    QString Caption(int index) const;
    int count() const;

signals:
    // The user or the program showed another page.
    void currentChanged(int index);

private:
    QButtonGroup *tabs_;
    QVBoxLayout *tabRows_;
    QStackedWidget *pages_;
};
