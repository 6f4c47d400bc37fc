#pragma once

#include <QDialog>

class CPosDevGraphCtrl;
class CSpeedGraphCtrl;
class CDistanceGraphCtrl;
class CElevationGraphCtrl;
class CHdgDevGraphCtrl;
class CHeadingCtrl;

// Each tool window: a modeless QDialog with its caption, hosting its graph widget; constructed
// hidden.

class CVerPosToolDlg : public QDialog {
    Q_OBJECT

public:
    explicit CVerPosToolDlg(QWidget* parent = nullptr);
    CPosDevGraphCtrl* Graph() const { return graph_; }

private:
    CPosDevGraphCtrl* graph_;
};

class CHorPosToolDlg : public QDialog {
    Q_OBJECT

public:
    explicit CHorPosToolDlg(QWidget* parent = nullptr);
    CPosDevGraphCtrl* Graph() const { return graph_; }

private:
    CPosDevGraphCtrl* graph_;
};

class CSpeedToolDlg : public QDialog {
    Q_OBJECT

public:
    explicit CSpeedToolDlg(QWidget* parent = nullptr);
    CSpeedGraphCtrl* Graph() const { return graph_; }

private:
    CSpeedGraphCtrl* graph_;
};

class CDistanceToolDlg : public QDialog {
    Q_OBJECT

public:
    explicit CDistanceToolDlg(QWidget* parent = nullptr);
    CDistanceGraphCtrl* Graph() const { return graph_; }

private:
    CDistanceGraphCtrl* graph_;
};

class CElevationToolDlg : public QDialog {
    Q_OBJECT

public:
    explicit CElevationToolDlg(QWidget* parent = nullptr);
    CElevationGraphCtrl* Graph() const { return graph_; }

private:
    CElevationGraphCtrl* graph_;
};

class CHdgAvrToolDlg : public QDialog {
    Q_OBJECT

public:
    explicit CHdgAvrToolDlg(QWidget* parent = nullptr);
    CHdgDevGraphCtrl* Graph() const { return graph_; }

private:
    CHdgDevGraphCtrl* graph_;
};

class CHeadingToolDlg : public QDialog {
    Q_OBJECT

public:
    explicit CHeadingToolDlg(QWidget* parent = nullptr);
    CHeadingCtrl* Graph() const { return graph_; }

private:
    CHeadingCtrl* graph_;
};
