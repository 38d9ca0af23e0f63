#pragma once
// The command lines of the preview, the tools and the web player, read by CLI11: each option is
// declared once, with its help, and the parsing, the error naming a wrong option and the options
// part of --help all follow from that.
#include <functional>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "app/args.h"

// An option taking one value that `read` takes or refuses; a refused value is named in the
// error after `refusal`.
inline CLI::Option* addValue(CLI::App& cli, const std::string& name, const std::string& type,
                             const std::string& help, const std::string& refusal,
                             std::function<bool(const std::string&)> read) {
    const auto take = [read, refusal](const std::string& value) {
        if (!read(value)) throw CLI::ValidationError(refusal + ": \"" + value + "\"");
    };
    return cli.add_option_function<std::string>(name, take, help)->type_name(type);
}

// A program's command line. --help prints `about` (its usage lines and description, as help2man
// reads them) and then its options, their help in a column at `column`; --version prints the
// version and licence.
class command_line : public CLI::App {
public:
    command_line(const char* program, const char* about, std::size_t column)
        : CLI::App(about, program) {
        formatter(std::make_shared<help2man_layout>(column));
        // The last of a repeated option counts; a flag takes no value ("--web=0").
        option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        option_defaults()->disable_flag_override();
        failure_message([](const CLI::App* app, const CLI::Error& e) {
            return app->get_name() + ": " + e.what() + "\n" + app->help();
        });
    }

    // -1 once argv is read; else the process status after answering --help or --version (0),
    // or saying what is wrong before the usage on standard error (2).
    int read(int argc, const char* const* argv) {
        // After the program's own options, as --help lists them.
        set_help_flag("--help", "print this text and exit");
        set_version_flag("--version", get_name() + " " KESTRINE_VERSION "\n" + kLicenceNotice,
                         "print the version and exit");
        try {
            parse(argc, argv);
            return -1;
        } catch (const CLI::ParseError& e) {
            return exit(e) == 0 ? 0 : 2;
        }
    }

private:
    // help2man takes the lines before "Options:" for the synopsis and the description.
    struct help2man_layout : CLI::Formatter {
        explicit help2man_layout(std::size_t column) { column_width(column); }
        std::string make_help(const CLI::App* app, std::string,
                              CLI::AppFormatMode mode) const override {
            const std::string footer = app->get_footer();
            return app->get_description() + make_groups(app, mode) +
                   (footer.empty() ? "" : "\n" + footer + "\n");
        }
    };
};
