#include "setup/decide/command.hpp"

#include "tap/point.hpp"
#include "text/shell_word.hpp"

std::string command_line(std::string_view program, std::string_view node, int mode, const point_set& points)
{
    std::string line = shell_word(program) + ' ' + shell_word(node) + ' ' + std::to_string(mode);
    for (const point& p : points)
        line += ' ' + std::to_string(p.x) + ' ' + std::to_string(p.y);
    return line;
}

std::string x_mode_line(std::string_view program, std::string_view node, std::string_view display,
                        const point_set& points)
{
    return shell_word("DISPLAY=" + std::string(display)) + ' ' + command_line(program, node, x_mode, points);
}

std::string map_text(input_code code, int button)
{
    return code_name(code) + '=' + button_word(button);
}

std::string map_text(const gesture_code& gesture, int button)
{
    return gesture_name(gesture) + '=' + button_word(button);
}

std::string remote_command_line(std::string_view program, const std::vector<std::string>& maps, int next_page,
                                std::string_view remote)
{
    std::string line = shell_word(program);
    if (maps.empty() && next_page != btn_left)
        line += std::string(" --next-page ") + button_word(next_page);
    for (const std::string& m : maps)
        line += " --map " + shell_word(m);
    // A name that starts with '-' would be read as an option: "--" ends them.
    return line + (remote.starts_with('-') ? " -- " : " ") + shell_word(remote);
}

std::optional<std::string> node_for_line(std::string_view given, std::string_view kernel_node)
{
    if (one_line_word(given))
        return std::string(given);
    if (!kernel_node.empty() && one_line_word(kernel_node))
        return std::string(kernel_node);
    return std::nullopt;
}
