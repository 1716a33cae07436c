#include "operations/line_services.h"

#include "link/com_create.h"
#include "link/device.h"
#include "link/presence.h"

namespace orv {

namespace {

// The network's answer takes its time: eight pauses pass before the reply is read.
constexpr int kClirReplyPauses = 8;

}  // namespace

void queryClir(OperationContext& ctx) {
    Connect(ctx.port, ctx.clock);
    SendCommand(device::kDataMode, ctx.port, ctx.clock);
    ctx.port.setDtr();
    Pause(ctx.clock);
    SendCommand(device::kClirQuery, ctx.port, ctx.clock);
    ctx.port.purgeInput();  // the echo of the query
    ctx.port.setDtr();
    for (int i = 0; i < kClirReplyPauses; ++i) {
        Pause(ctx.clock);
    }
    std::string reply;
    if (!ctx.port.read(device::kReplyBuffer, reply)) {
        reply.clear();  // a failed read counts as nothing received
    }

    if (const std::optional<char> status = device::clirStatus(reply)) {
        const Text message = device::clirMessage(*status);
        if (!message.empty()) {
            ctx.user.tell(MessageKind::Information, message, MessageButtons::Ok);
        }
    } else {
        ctx.user.tell(MessageKind::Error,
                      cp1251::fromUtf8("Возникла непредвиденная ошибка. Повторите попытку через "
                                       "несколько минут"),
                      MessageButtons::Ok);
    }
    // Sent once the message has been closed.
    SendCommand(device::kStatus, ctx.port, ctx.clock);
}

void switchToDataMode(OperationContext& ctx) {
    Connect(ctx.port, ctx.clock);
    SendCommand(device::kDataMode, ctx.port, ctx.clock);
    ctx.user.tell(MessageKind::Information,
                  cp1251::fromUtf8("Переход в режим передачи данных выполнен. Для выхода из "
                                   "режима перезапустите питание устройства"),
                  MessageButtons::Yes);
}

}  // namespace orv
