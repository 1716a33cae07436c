#include "operations/line_services.h"

#include <cstdio>

#include "link/device.h"
#include "link/presence.h"
#include "operations/step.h"
#include "settings/device_vocabulary.h"

namespace orv {

namespace {

// The network's answer takes its time: eight pauses pass before the reply is read.
constexpr int kClirReplyPauses = 8;

// Where the reply holds the status: byte 13 as received.
constexpr std::size_t kClirStatusByte = 12;

// How a status character that the reply held shows in a message: as itself when it can be
// read, else by its code.
Text shownStatus(char status) {
    const unsigned char c = static_cast<unsigned char>(status);
    if (c > 0x20 && c < 0x7F) {
        return cp1251::fromUtf8("«") + status + cp1251::fromUtf8("»");
    }
    char code[8];
    std::snprintf(code, sizeof code, "%02X", c);
    return cp1251::fromUtf8("с кодом ") + code;
}

}  // namespace

Text clirUnreadableMessage(const std::string& reply) {
    const Text status =
        reply.size() > kClirStatusByte
            ? cp1251::fromUtf8("состояние услуги ") + shownStatus(reply[kClirStatusByte])
            : cp1251::fromUtf8("состояние услуги в нём отсутствует");
    return cp1251::fromUtf8("Ответ сети на запрос услуги CLIR не удалось разобрать: ") + status +
           cp1251::fromUtf8(". Повторите попытку через несколько минут");
}

Outcome queryClir(OperationContext& ctx) {
    using Then = Step::Then;
    Connect(ctx.port, ctx.clock);
    Step(device::kDataMode).then(Then::RaiseDtr).then(Then::Pause).run(ctx);
    // The echo of the query is purged before its answer is waited for.
    std::string reply;
    Step(device::kClirQuery)
        .then(Then::PurgeInput)
        .then(Then::RaiseDtr)
        .then(Then::Pause, kClirReplyPauses)
        .then(Then::ReadReply)
        .run(ctx, [&] {
            if (!ctx.port.read(device::kReplyBuffer, reply)) {
                reply.clear();  // a failed read counts as nothing received
            }
        });

    Outcome outcome = Outcome::DeviceTrouble;
    if (const std::optional<char> status = device::clirStatus(reply)) {
        const Text message = device::clirMessage(*status);
        if (!message.empty()) {
            ctx.user.tell(MessageKind::Information, message, MessageButtons::Ok);
            outcome = Outcome::Done;
        } else {
            ctx.user.tell(MessageKind::Warning, clirUnreadableMessage(reply), MessageButtons::Ok);
        }
    } else {
        ctx.user.tell(MessageKind::Error,
                      cp1251::fromUtf8("Возникла непредвиденная ошибка. Повторите попытку через "
                                       "несколько минут"),
                      MessageButtons::Ok);
    }
    // Sent once the message has been closed.
    Step(device::kStatus).run(ctx);
    return outcome;
}

void switchToDataMode(OperationContext& ctx) {
    Connect(ctx.port, ctx.clock);
    // A device that went away as it took the line is only seen when the line is next touched:
    // a pause later, DTR is raised again, as the port opening left it, which fails on a line
    // that is gone. Nothing is read, so the terminal still shows what the device answered.
    Step(device::kDataMode).then(Step::Then::Pause).then(Step::Then::RaiseDtr).run(ctx);
    requireLine(ctx);
    ctx.user.tell(MessageKind::Information,
                  cp1251::fromUtf8("Переход в режим передачи данных выполнен. Для выхода из "
                                   "режима перезапустите питание устройства"),
                  MessageButtons::Yes);
}

}  // namespace orv
