#pragma once

#include "shell/common/chooser.h"

#include <deque>
#include <optional>
#include <vector>

#include <QColor>
#include <QPrinter>
#include <QString>

namespace mirx::test {

// Answers the shell's questions from what a test lined up, and keeps what
// each question offered. Nothing lined up: the question is cancelled.
class ScriptedChooser final : public shell::Chooser {
public:
    std::optional<QColor> chooseColour(QWidget*, const QColor& current) override {
        presets.push_back(current);
        if (colours.empty()) {
            return std::nullopt;
        }
        const std::optional<QColor> colour = colours.front();
        colours.pop_front();
        return colour;
    }

    QString chooseFileToOpen(QWidget*, const QString&, const QString& filter) override {
        filters.push_back(filter);
        if (files.empty()) {
            return {};
        }
        const QString file = files.front();
        files.pop_front();
        return file;
    }

    QString chooseFileToSave(QWidget*, const QString&, const QString& suggested,
                             const QString&) override {
        suggestedNames.push_back(suggested);
        return savePath;
    }

    // Prints to a PDF at printPath.
    bool choosePrinter(QWidget*, QPrinter& printer) override {
        if (printPath.isEmpty()) {
            return false;
        }
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printPath);
        return true;
    }

    std::deque<std::optional<QColor>> colours;
    std::vector<QColor> presets;
    std::deque<QString> files;
    std::vector<QString> filters;
    QString savePath;
    std::vector<QString> suggestedNames;
    QString printPath;
};

} // namespace mirx::test
