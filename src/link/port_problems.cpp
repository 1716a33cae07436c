#include "link/port_problems.h"

#include <cerrno>

namespace orv {

Text portBusyMessage(const Text& name) {
    return name +
           cp1251::fromUtf8(" занят другим приложением. Попробуйте подключить к другому порту");
}

Text portMissingMessage(const Text& name) {
    if (name.empty()) {
        return cp1251::fromUtf8(
            "Порт не выбран. Выберите порт в окне \"Настройки программирования\"");
    }
    return cp1251::fromUtf8("Порт ") + name +
           cp1251::fromUtf8(
               " не найден. Подключите адаптер или выберите другой порт в окне \"Настройки "
               "программирования\"");
}

Text portNoAccessMessage(const Text& name, const std::string& group, const std::string& user) {
    const Text head = cp1251::fromUtf8("Нет доступа к порту ") + name + ". ";
    if (group.empty()) {
        return head + cp1251::fromUtf8("Попросите администратора разрешить пользователю " + user +
                                       " чтение и запись этого порта и войдите в систему заново");
    }
    return head + cp1251::fromUtf8("Порт открывают члены группы \"" + group +
                                   "\": добавьте пользователя в эту группу командой sudo adduser " +
                                   user + " " + group + " и войдите в систему заново");
}

Text noPortsMessage() {
    return cp1251::fromUtf8(
        "Последовательные порты не найдены. Подключите GSM-Тарк Орвелин-9 через адаптер и "
        "выберите его порт в окне \"Настройки программирования\" (меню \"Программирование\")");
}

PortProblem problemOfErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENODEV:
        case ENXIO:
        case ELOOP:
            return PortProblem::Missing;
        case EACCES:
        case EPERM:
        case EROFS:
            return PortProblem::NoAccess;
        default:
            return PortProblem::Busy;
    }
}

}  // namespace orv
