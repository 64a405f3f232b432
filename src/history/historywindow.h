#pragma once

#include "historytypes.h"

#include <QWidget>
#include <functional>

class History;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The history window: visits newest first, grouped by day, searchable; opens, deletes one
// visit, one site or everything. Modeless, without an owner, deleted when closed.
class HistoryWindow final : public QWidget
{
    Q_OBJECT

public:
    using OpenAddress = std::function<void(const QString &address)>;
    using Confirm = std::function<bool(const QString &question)>;

    static constexpr int listed = 5000;

    HistoryWindow(History &history, OpenAddress open, Confirm confirm);

    // Shows the one history window, making it only when none is open.
    static HistoryWindow *showHistory(History &history, OpenAddress open, Confirm confirm);

    QTreeWidget *list() const { return m_list; }
    QLineEdit *search() const { return m_search; }
    // The visit of the selected row, or none (id 0).
    Visit selectedVisit() const;
    // Day captions and rows as shown, for tests: "day" lines and "  title|address" lines.
    QStringList shownLines() const;

    void openSelected();
    void deleteSelected();
    void deleteSelectedSite();
    void clearAll();

    // Asks the database again; the answer fills the list later.
    void refresh();

Q_SIGNALS:
    void filled();

private:
    void fill(const QList<Visit> &visits);
    void showMenu(const QPoint &position);

    History &m_history;
    OpenAddress m_open;
    Confirm m_confirm;
    QLineEdit *m_search = nullptr;
    QTreeWidget *m_list = nullptr;
    quint64 m_round = 0;
};
