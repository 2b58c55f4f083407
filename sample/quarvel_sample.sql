-- Quarvel sample database: an equipment schedule and a parts list for drawing tables.
-- The build turns this script into build/sample/quarvel_sample.sqlite with the sqlite3 tool.
PRAGMA encoding = 'UTF-8';

CREATE TABLE Equipment (
    Tag           VARCHAR(16) NOT NULL PRIMARY KEY,
    Description   VARCHAR(80) NOT NULL,
    Location      VARCHAR(40),
    Quantity      INTEGER NOT NULL,
    PowerKW       REAL,
    UnitPrice     CURRENCY,
    Installed     DATETIME,
    InService     BOOLEAN NOT NULL,
    SerialNumber  BIGINT,
    Notes         TEXT
);

INSERT INTO Equipment VALUES
 ('P-101', 'Kühlwasserpumpe', 'Halle Süd', 2, 7.5, 4250.00, '2019-03-14 08:30:00', 1, 4000000001, 'Gleitringdichtung prüfen'),
 ('P-102', 'Kühlwasserpumpe (Reserve)', 'Halle Süd', 1, 7.5, 4250.00, '2019-03-14 08:30:00', 0, 4000000002, NULL),
 ('F-201', 'Ventilateur d''extraction', 'Toiture', 4, 2.2, 1189.90, '2020-11-02 14:00:00', 1, 12345678901, ''),
 ('V-301', 'Überdruckventil DN50', 'Kesselhaus', 6, NULL, 312.45, '2021-06-30 00:00:00', 1, NULL, 'Ansprechdruck 10 bar'),
 ('T-401', 'Резервуар питьевой воды', 'Подвал', 1, NULL, 18900.00, '2018-01-31 13:05:09', 1, 9007199254740993, 'Объём 5 м³'),
 ('C-501', 'Çelik boru kompresörü', 'Atölye', 1, 55.0, 27500.50, NULL, 0, 7, NULL),
 ('H-601', 'Heat exchanger — plate type', 'Plant room', 3, 0.5, 2999.99, '2022-09-15 10:45:30', 1, 1234567, 'Ø 300 mm ports'),
 ('L-701', 'Éclairage de secours', 'Couloir', 24, 0.012, 45.00, '2023-02-28 23:59:59', 1, NULL, NULL);

CREATE TABLE Parts (
    PartNo        INTEGER NOT NULL PRIMARY KEY,
    EquipmentTag  VARCHAR(16) NOT NULL REFERENCES Equipment(Tag),
    Name          VARCHAR(60) NOT NULL,
    Weight        DOUBLE,
    OnStock       SMALLINT,
    Spare         BOOLEAN NOT NULL,
    LastOrdered   DATE
);

INSERT INTO Parts VALUES
 (1, 'P-101', 'Laufrad Ø 180', 3.25, 2, 1, '2024-01-31'),
 (2, 'P-101', 'Gleitringdichtung', 0.4, 5, 1, '2023-12-01'),
 (3, 'F-201', 'Courroie trapézoïdale', 0.15, 0, 1, NULL),
 (4, 'V-301', 'Federsatz', 0.8, NULL, 0, '2022-07-15'),
 (5, 'T-401', 'Поплавковый клапан', 1.1, 1, 1, '2021-05-20'),
 (6, 'H-601', 'Gasket set', 2.0, 12, 1, '2024-02-29');

CREATE VIEW EquipmentParts AS
SELECT e.Tag, e.Description, p.PartNo, p.Name AS PartName, p.OnStock
FROM Equipment e JOIN Parts p ON p.EquipmentTag = e.Tag;
