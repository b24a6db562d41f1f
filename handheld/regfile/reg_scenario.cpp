// Registry changes as scenario commands.
#include "regfile/reg_scenario.h"

#include "regfile/reg_text.h"

#include "emul/registry.h"
#include "emul/text.h"

namespace handheld {

std::string regScenarioSet(const std::u16string &key, const std::u16string &name,
                           const emul::RegValue &v) {
    std::string line =
        "set " + regQuoted(emul::utf8(key)) + " " + regQuoted(emul::utf8(name)) + " ";
    if (auto d = regExactDword(v))
        return line + "dword " + std::to_string(*d);
    if (auto text = regPlainSz(v))
        return line + "sz " + regQuoted(emul::utf8(*text));
    return line + "raw " + std::to_string(v.type) + (v.data.empty() ? "" : " ") +
           emul::hexText(v.data.data(), v.data.size(), " ");
}

std::string regScenarioDelete(const std::u16string &key, const std::u16string *name) {
    return "delete " + regQuoted(emul::utf8(key)) +
           (name ? " " + regQuoted(emul::utf8(*name)) : "");
}

std::string regScenarioKey(const std::u16string &key) {
    return "key " + regQuoted(emul::utf8(key));
}

namespace {

void diffKey(emul::Registry &from, emul::Registry &to, const std::u16string &key,
             std::vector<std::string> &out) {
    auto join = [&](const std::u16string &sub) { return key.empty() ? sub : key + u"\\" + sub; };
    auto subs = to.subkeys(key);
    if (!key.empty()) {
        auto values = to.values(key);
        bool had = from.keyExists(key);
        if (had) {
            for (auto &[name, v] : from.values(key))
                if (!to.getValue(key, name))
                    out.push_back(regScenarioDelete(key, &name));
        } else if (values.empty() && subs.empty()) {
            out.push_back(regScenarioKey(key)); // a `set` below or in it would make it otherwise
        }
        for (auto &[name, v] : values) {
            auto was = had ? from.getValue(key, name) : std::nullopt;
            if (!was || was->type != v.type || was->data != v.data)
                out.push_back(regScenarioSet(key, name, v));
        }
    }
    if (from.keyExists(key))
        for (auto &sub : from.subkeys(key))
            if (!to.keyExists(join(sub)))
                out.push_back(regScenarioDelete(join(sub), nullptr));
    for (auto &sub : subs)
        diffKey(from, to, join(sub), out);
}

} // namespace

std::vector<std::string> regScenarioDiff(emul::Registry &from, emul::Registry &to) {
    std::vector<std::string> out;
    diffKey(from, to, u"", out);
    return out;
}

} // namespace handheld
