#pragma once

#include <QByteArray>
#include <QList>

// JSON bodies as the server sends them, built from the few parts a test cares about.
namespace kelvo::test::json {

// A time entry that started at `start`; a stopped one lasted 65 s. `extra` is more members,
// written as JSON text starting with a comma.
QByteArray entry(const QByteArray& id, bool running, const QByteArray& start = "2025-03-01T10:00:00.000Z",
                 const QByteArray& extra = {});
// A running entry with a rate, a project and a task: what the panels show in full.
QByteArray ratedEntry(const QByteArray& id, bool running, double rate = 36);
// The answer of the current-entry query: {"timeEntry":...}; "null" when nothing runs.
QByteArray current(const QByteArray& entry = "null");
// The answer to a start or a stop.
QByteArray timer(const QByteArray& entry);
// The answer of the entry list.
QByteArray entries(const QList<QByteArray>& items = {});
// The answer of the project list: "Web" (p1, green, active), "App" (p2, no colour, active) and
// "Old" (inactive).
QByteArray projects();
// The answer of a task list with one open task "Build" (t1).
QByteArray tasks();
// The earnings summary; the running timer's part is fixed.
QByteArray earnings(double today = 12.5, qint64 todayDuration = 3900, double week = 40, qint64 weekDuration = 9000);
// A sign-in or registration answer for Ada.
QByteArray auth(const QByteArray& token = "t");
// The answer of the current-user query for Ada.
QByteArray user();

} // namespace kelvo::test::json
