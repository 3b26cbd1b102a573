#pragma once

#include "test_files.h"

#include "errors.h"
#include "protocol.h"

#include <QTest>

#include <functional>

// Readable QCOMPARE failures for the wire value types, and a check for the operator's error text.

inline char* toString(const ChannelConfig& c) {
    QStringList relays;
    for (const qint64 relay : c.relays)
        relays << QString::number(relay);
    const QString text =
        QStringLiteral(
            "desc='%1' addr='%2' product=%3 unit=%4 hh=%5 h=%6 l=%7 ll=%8 water_zero=%9 "
            "water_alarm=%10 offset=%11 d13=%12 d23=%13 d24=%14 height=%15 capacity=%16 relays=%17")
            .arg(c.description, c.address)
            .arg(c.product)
            .arg(c.unit)
            .arg(c.alarm_hh)
            .arg(c.alarm_h)
            .arg(c.alarm_l)
            .arg(c.alarm_ll)
            .arg(c.water_zero)
            .arg(c.water_alarm)
            .arg(c.offset)
            .arg(c.hidden_d13)
            .arg(c.hidden_d23)
            .arg(c.hidden_d24)
            .arg(c.tank_height)
            .arg(c.capacity)
            .arg(relays.join(u','));
    return qstrdup(text.toUtf8().constData());
}

inline char* toString(const TStrapRow& row) {
    return qstrdup(QStringLiteral("(%1, %2)").arg(row.level).arg(row.volume).toUtf8().constData());
}

inline char* toString(const TablePayload& p) {
    return qstrdup(QStringLiteral("refused=%1 payload=%2")
                       .arg(p.refused)
                       .arg(QString::fromLatin1(p.payload.toLatin1().toPercentEncoding()))
                       .toUtf8()
                       .constData());
}

inline char* toString(const Identification& id) {
    return qstrdup(QStringLiteral("channels=%1 sixteen=%2")
                       .arg(id.channels)
                       .arg(id.sixteen_relays)
                       .toUtf8()
                       .constData());
}

inline char* toString(const FollowUp& f) {
    return qstrdup(QStringLiteral("final=%1 frame=%2")
                       .arg(f.final)
                       .arg(QString::fromUtf8(f.frame.toUtf8().toPercentEncoding()))
                       .toUtf8()
                       .constData());
}
