#include "support/PlainScriptMaker.h"

#include <random>

namespace {

std::string RandomWord(std::mt19937& random, size_t length) {
    static const char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";
    std::string word;
    for (size_t i = 0; i < length; ++i) word += kLetters[random() % (sizeof(kLetters) - 1)];
    return word;
}

void AppendShortStatements(std::string& out, std::mt19937& random, int section, size_t bytes) {
    const std::string s = std::to_string(section);
    const size_t until = out.size() + bytes;
    for (int i = 0; out.size() < until; ++i) {
        const std::string n = std::to_string(i);
        switch (random() % 7) {
            case 0:
                out += "CREATE VIEW public.v" + s + "_" + n + " AS SELECT " + n + " AS x;\n";
                break;
            case 1:
                out += "SET a = " + n + "; SET b = 'x;y';\n";
                break;
            case 2:
                out += "INSERT INTO public.ins" + s + " VALUES (" + n + ", '(;'), (" + n +
                       ", 'b');   \n";
                break;
            case 3:
                out += "CREATE FUNCTION public.f" + s + "_" + n +
                       "() RETURNS integer\n    LANGUAGE sql\n    AS $_$\nSELECT 1; -- ;\n$_$;\n";
                break;
            case 4:
                out +=
                    "COMMENT ON TABLE public.t" + s + " IS '" + RandomWord(random, 40) + ";';\n\n";
                break;
            case 5:
                out += "-- " + RandomWord(random, 20) + ";\nALTER TABLE public.t" + s +
                       " /* ; */ OWNER TO kx;\n";
                break;
            default:
                out += "GRANT SELECT ON TABLE public.t" + s + " TO \"日本;\";\t \n";
                break;
        }
    }
}

}  // namespace

std::string MakePlainScript(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string out =
        "--\n-- PostgreSQL database dump\n--\n\n"
        "-- Dumped from database version 15.18\n-- Dumped by pg_dump version 15.18\n\n"
        "SET statement_timeout = 0;\nSET client_encoding = 'UTF8';\n\n";
    out.reserve(size + (size_t{4} << 20));
    for (int section = 0; out.size() < size; ++section) {
        const std::string s = std::to_string(section);
        out += "CREATE TABLE public.t" + s +
               " (\n    id integer,\n    name text,\n    note text\n);\n";
        out += "CREATE TABLE public.ins" + s + " (a integer, b text);\n";
        AppendShortStatements(out, random, section, (size_t{1} << 20) + random() % 400000);
        out += "COPY public.t" + s + " (id, name, note) FROM stdin;\n";
        const size_t until = out.size() + (size_t{3} << 20) + random() % 1000000;
        for (int row = 0; out.size() < until; ++row) {
            out += std::to_string(row) + "\t" + RandomWord(random, random() % 300) + "\t";
            out += random() % 5 == 0 ? "\\N" : "a\\tb\\\\c 日本語";
            out += "\n";
        }
        out += "\\.\n\n";
    }
    out += "SELECT 1;  \t ";
    return out;
}
