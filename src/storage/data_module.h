#pragma once
// The data module: the six tables of an element base, the data sources windows bind
// to, the built-in contents every table starts with, and the two operations that load
// an element base file into the tables and write the tables back.
//
// An element base file is one dataset packet of the container table BaseFile, whose
// single row holds, in the blobs GROUPS, ELEMENTS, PARAMS and FREQS, the packets of
// ClGroupsTable, ClElemsTable, ClParamsTable and BaseFreqs. ParamsTemplate is built in
// and never stored in a base.
//
// Paths are UTF-8 strings; texts in the tables are Windows-1251.
#include "storage/client_table.h"

#include <array>
#include <string>

class TDataM {
public:
    TDataM();
    ~TDataM();
    TDataM(const TDataM&) = delete;
    TDataM& operator=(const TDataM&) = delete;

    // Replaces the contents of the four stored tables with the base file at `path` and
    // makes `path` the current base path. The whole file and all four table packets are
    // read and checked first: a file that cannot be read or is damaged throws
    // dorvin::Error and leaves every table and the current base path as they were.
    // After the tables are replaced, the first shown type row is posted unchanged (an
    // insertion of an all-null row when no type is shown).
    void LoadBase(const std::string& path);

    // LoadBase of a copy of a base (one kept for recovery) that makes `basePath`, not the
    // copy's own path, the current base path, so the copy's contents are written back to
    // the base itself.
    void RestoreBase(const std::string& copyPath, const std::string& basePath);

    // Writes the four stored tables into a base file at `path`, ending their pending
    // edits first. The file is written beside the target under a temporary name and
    // renamed over it only when complete, so a failure leaves an existing file intact.
    // The current base path is never changed.
    void SaveBase(const std::string& path);

    // The path of the last base loaded; empty before the first LoadBase. It is kept as
    // the filter text of BaseFile, which never filters.
    std::string currentBasePath() const;

    // ---- tables ----
    dorvin::ClientTable ClGroupsTable{"ClGroupsTable"};
    dorvin::ClientTable ClElemsTable{"ClElemsTable"};
    dorvin::ClientTable ClParamsTable{"ClParamsTable"};
    dorvin::ClientTable BaseFreqs{"BaseFreqs"};
    dorvin::ClientTable ParamsTemplate{"ParamsTemplate"};
    dorvin::ClientTable BaseFile{"BaseFile"};

    // ---- data sources ----
    dorvin::DataSource GroupsSource{"GroupsSource", &ClGroupsTable};
    dorvin::DataSource ElementsSource{"ElementsSource", &ClElemsTable};
    dorvin::DataSource ParamsSource{"ParamsSource", &ClParamsTable};
    dorvin::DataSource FreqsSource{"FreqsSource", &BaseFreqs};
    dorvin::DataSource DataSource1{"DataSource1", &BaseFreqs};
    dorvin::DataSource DataSource2{"DataSource2", &ParamsTemplate};
    dorvin::DataSource DataSource3{"DataSource3", &BaseFreqs};

private:
    void loadFrom(const std::string& readPath, const std::string& path);
    // Declares every table's schema before the field members below bind to them.
    bool declared_ = declareTables();
    bool declareTables();

public:
    // ---- fields: table name and field name run together ----
    dorvin::Field& ClGroupsTableGROUP;
    dorvin::Field& ClGroupsTableGRNAME;
    dorvin::Field& ClGroupsTableB1;
    dorvin::Field& ClGroupsTableB2;
    dorvin::Field& ClGroupsTableB3;
    dorvin::Field& ClGroupsTableB4;
    dorvin::Field& ClGroupsTableB5;
    dorvin::Field& ClGroupsTableB6;
    dorvin::Field& ClGroupsTableB7;
    dorvin::Field& ClGroupsTableB8;

    dorvin::Field& ClElemsTableGR;
    dorvin::Field& ClElemsTableELEM;
    dorvin::Field& ClElemsTableMODEL;
    dorvin::Field& ClElemsTableCENA;
    dorvin::Field& ClElemsTableCODE;
    dorvin::Field& ClElemsTableMaxElNum;

    dorvin::Field& ClParamsTableGROUP;
    dorvin::Field& ClParamsTableELEM;
    dorvin::Field& ClParamsTablePARAM;
    dorvin::Field& ClParamsTablePARNAME;
    dorvin::Field& ClParamsTableN1;
    std::array<dorvin::Field*, 96> ClParamsTableN{}; // [k - 1] is N<k>

    dorvin::Field& BaseFreqsNAME;
    dorvin::Field& BaseFreqsFREQ;
    dorvin::Field& BaseFreqsUSED;

    dorvin::Field& ParamsTemplateGROUP;
    dorvin::Field& ParamsTemplateELEM;
    dorvin::Field& ParamsTemplatePIN;
    dorvin::Field& ParamsTemplatePARAM;
    dorvin::Field& ParamsTemplatePARNAME;
    dorvin::Field& ParamsTemplateN1;
    std::array<dorvin::Field*, 96> ParamsTemplateN{}; // [k - 1] is N<k>

    dorvin::Field& BaseFileGROUPS;
    dorvin::Field& BaseFileELEMENTS;
    dorvin::Field& BaseFilePARAMS;
    dorvin::Field& BaseFileFREQS;
};
