// How every command reads its options, so that each treats "--", "--help", missing values and text
// that is not UTF-8 the same way.

#include "commands.h"

QString CliOptions::value(const QString& name) const {
    for (qsizetype i = options.size() - 1; i >= 0; --i)
        if (options[i].name == name) return options[i].value;
    return {};
}

bool CliOptions::has(const QString& name) const {
    for (const Option& option : options)
        if (option.name == name) return true;
    return false;
}

CliOptions parseOptions(const CliArgs& args, const QStringList& valued, const QStringList& flags) {
    CliOptions p;
    bool ended = false;
    const auto refuse = [&](const QString& reason) {
        p.error = reason;
        return p;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.text[i];
        if (ended || !a.startsWith(QLatin1String("--"))) {
            p.operands << args.raw[i];  // a file name is bytes, whatever they are
            continue;
        }
        if (a == QLatin1String("--")) {
            ended = true;
            continue;
        }
        if (a == QLatin1String("--help")) {
            p.help = true;
            return p;
        }
        // The text of an option and its value must be what the user typed, byte for byte.
        if (!isUtf8(args.raw[i])) return refuse(QStringLiteral("'%1' is not valid UTF-8").arg(printableName(args.raw[i])));
        QString name = a.mid(2);
        if (flags.contains(name)) {
            p.options.append({name, {}});
            continue;
        }
        QString value;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
            if (!valued.contains(name)) return refuse(QStringLiteral("unknown option '%1'").arg(a));
        } else if (!valued.contains(name)) {
            return refuse(QStringLiteral("unknown option '%1'").arg(a));
        } else if (i + 1 < args.size()) {
            ++i;
            if (!isUtf8(args.raw[i]))
                return refuse(QStringLiteral("the value of --%1 is not valid UTF-8: '%2'").arg(name, printableName(args.raw[i])));
            value = args.text[i];
        } else {
            return refuse(QStringLiteral("option --%1 needs a value").arg(name));
        }
        p.options.append({name, value});
    }
    return p;
}

int usageError(CliStreams io, const char* command, const QString& reason, const char* usage) {
    io.err << "snaplore-cli " << command << ": " << reason << "\n" << usage;
    return 2;
}

std::optional<int> parseCommandLine(const CliArgs& args, CliStreams io, const char* command, const char* usage,
                                    const QStringList& valued, const QStringList& flags, CliOptions& parsed) {
    parsed = parseOptions(args, valued, flags);
    if (parsed.help) {
        io.out << usage;
        return 0;
    }
    if (!parsed.error.isEmpty()) return usageError(io, command, parsed.error, usage);
    return std::nullopt;
}
