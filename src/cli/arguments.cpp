#include "cli/arguments.h"

#include <cstddef>

namespace orv::cli {
namespace {

Text russian(const std::string& utf8) {
    return cp1251::fromUtf8(utf8);
}

// The options that take a value, and where each value goes.
std::string* valueOption(Invocation& inv, const std::string& name) {
    if (name == "--data-folder") {
        return &inv.dataFolder;
    }
    if (name == "--label") {
        return &inv.label;
    }
    if (name == "--to") {
        return &inv.to;
    }
    if (name == "--report") {
        return &inv.report;
    }
    return nullptr;
}

// The options that stand alone.
bool* flagOption(Invocation& inv, const std::string& name) {
    if (name == "--json") {
        return &inv.json;
    }
    if (name == "--quiet") {
        return &inv.quiet;
    }
    if (name == "--help" || name == "-h") {
        return &inv.help;
    }
    if (name == "--version") {
        return &inv.version;
    }
    if (name == "--verify") {
        return &inv.verify;
    }
    if (name == "--yes") {
        return &inv.yes;
    }
    if (name == "--only-unreached") {
        return &inv.onlyUnreached;
    }
    if (name == "--skip-bad-rows") {
        return &inv.skipBadRows;
    }
    if (name == "--include-password") {
        return &inv.includePassword;
    }
    return nullptr;
}

}  // namespace

Invocation parseArguments(const std::vector<std::string>& arguments) {
    Invocation inv;
    bool options = true;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (!options || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options = false;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (bool* flag = flagOption(inv, name)) {
            if (equals != std::string::npos) {
                throw UsageError(russian("Параметр " + name + " не принимает значения"));
            }
            *flag = true;
            continue;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else if (name == "--port" || valueOption(inv, name)) {
            throw UsageError(russian("Параметру " + name + " не указано значение"));
        }
        if (name == "--port") {
            inv.ports.push_back(value);
        } else if (std::string* target = valueOption(inv, name)) {
            *target = value;
        } else {
            throw UsageError(russian("Неизвестный параметр " + name +
                                     ". Список параметров: orvelin9-cli --help"));
        }
    }
    if (!positional.empty()) {
        inv.command = positional.front();
        inv.operands.assign(positional.begin() + 1, positional.end());
    }
    return inv;
}

Text helpText() {
    return russian(
        "Использование: orvelin9-cli [--port ПОРТ]... [--data-folder ПАПКА] [--label ТЕКСТ]\n"
        "                            [--json] [--quiet] КОМАНДА [АРГУМЕНТЫ]\n"
        "\n"
        "Программирование GSM-Тарк Орвелин-9 из командной строки, на нескольких портах сразу.\n"
        "\n"
        "Команды:\n"
        "  ports                        список последовательных портов\n"
        "  write ФАЙЛ.cfg [--verify]    запись программирования из файла конфигурации;\n"
        "                               с --verify затем сверка с устройством\n"
        "  read ВЫХОД.cfg               чтение программирования в файл конфигурации\n"
        "  check ФАЙЛ.cfg               сверка файла конфигурации с устройством\n"
        "  clear-sim                    очистка Sim-карты\n"
        "  clir                         запрос услуги CLIR\n"
        "  data-mode                    переход в режим передачи данных\n"
        "  sms --to ПОЛУЧАТЕЛИ [--yes] [--report ОТЧЁТ.csv] [--only-unreached] ТЕКСТ\n"
        "                               рассылка SMS; --to принимает и отчёт рассылки,\n"
        "                               с --only-unreached только недоставленным\n"
        "  csv-export ФАЙЛ.cfg ВЫХОД.csv\n"
        "                               списки номеров файла конфигурации в CSV\n"
        "  csv-import ФАЙЛ.cfg ВХОД.csv ВЫХОД.cfg [--skip-bad-rows]\n"
        "                               списки номеров из CSV вместо списков файла\n"
        "                               конфигурации, результат в ВЫХОД.cfg; файл со\n"
        "                               строками, которые нельзя взять, не принимается,\n"
        "                               с --skip-bad-rows берётся без них\n"
        "  diff A.cfg B.cfg             сравнение двух файлов конфигурации\n"
        "  history                      записи истории операций в папке данных, новые первыми:\n"
        "                               начало, операция, порт, метка, код, запись\n"
        "  bundle ЗАПИСЬ ВЫХОД.tar.gz [--include-password]\n"
        "                               архив записи истории для поддержки; цифры пароля\n"
        "                               в нём заменены на \"*\", с --include-password нет\n"
        "  Команды csv-export, csv-import, diff, history и bundle работают с файлами и порт\n"
        "  не используют.\n"
        "\n"
        "Параметры:\n"
        "  --port ПОРТ          порт устройства; можно указать несколько раз, тогда команда\n"
        "                       выполняется на всех портах сразу, а имя выходного файла\n"
        "                       должно содержать {port}; без --port порт берётся из\n"
        "                       \"Dalvorn Terminal.ini\" в папке данных\n"
        "  --data-folder ПАПКА  папка данных (\"Dalvorn Terminal.ini\", 1.txt); без него\n"
        "                       текущая папка\n"
        "  --label ТЕКСТ        имя устройства или объекта для записи о работе\n"
        "  --json               результат: один объект JSON на порт в строке\n"
        "  --quiet              не показывать ход выполнения\n"
        "  --help               эта справка\n"
        "  --version            версия программы\n"
        "\n"
        "Результат (стандартный вывод), по строке на порт: "
        "ПОРТ<TAB>КОМАНДА<TAB>КОД<TAB>СООБЩЕНИЕ;\n"
        "у сверки затем по строке на различие: ПОРТ<TAB>-<TAB>ЧТО<TAB>В ФАЙЛЕ<TAB>В УСТРОЙСТВЕ;\n"
        "у diff то же с ПОРТ \"-\": -<TAB>-<TAB>ЧТО<TAB>В A<TAB>В B.\n"
        "\n"
        "Коды завершения:\n"
        "  0  выполнено\n"
        "  1  ошибка в командной строке, входной файл не читается или не может быть передан\n"
        "     (ничего не отправлено), либо на вопрос ответ \"нет\"\n"
        "  2  порт не открывается (нет его, нет доступа или он занят)\n"
        "  3  устройство не отвечает, занято или отвечает непонятно\n"
        "  4  сверка или diff нашли различия, или устройство хранит то, что запись не может\n"
        "     принять\n"
        "  5  остановлено (SIGINT или SIGTERM)\n"
        "  6  связь потеряна во время операции\n"
        "  7  SMS отправлены, но не все подтверждены\n"
        "  8  операция выполнена, но файл не сохранён (ВЫХОД, 1.txt)\n"
        "  С несколькими портами: первый из 6, 3, 2, 5, 8, 4, 7, 0, который есть у какого-либо "
        "порта.\n");
}

}  // namespace orv::cli
