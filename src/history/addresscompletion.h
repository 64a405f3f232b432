#pragma once

#include "completion.h"

#include <QObject>
#include <functional>

class History;
class QLineEdit;
class QListWidget;

// The list under the address box: rows from favorites and history as the user types, chosen
// with Up/Down and Enter or a click, closed with Esc. Without a chosen row every key goes on
// to the box's own handling.
class AddressCompletion final : public QObject
{
    Q_OBJECT

public:
    using OpenHandler = std::function<void(const Suggestion &)>;

    AddressCompletion(QLineEdit *edit, const History *history, const QString &favoritesFolder,
        OpenHandler open, QObject *parent = nullptr);

    QListWidget *list() const { return m_list; }
    bool isOpen() const;
    const QList<Suggestion> &suggestions() const { return m_suggestions; }

    // One round of suggestions for the text, as a keystroke makes it.
    void update(const QString &text);
    void close();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();
    void step(int delta);
    void choose(int row);

    QLineEdit *m_edit;
    const History *m_history;
    QString m_favoritesFolder;
    OpenHandler m_open;
    QListWidget *m_list;
    QList<FavoriteEntry> m_favorites;
    bool m_favoritesRead = false;
    QList<Suggestion> m_suggestions;
};
