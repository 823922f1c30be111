-- A database of runs of schema version 1, for the migration test.
PRAGMA user_version = 1;
PRAGMA foreign_keys=OFF;
BEGIN TRANSACTION;
CREATE TABLE runs ( run_id TEXT PRIMARY KEY NOT NULL, started_utc TEXT NOT NULL, ended_utc TEXT NOT NULL, command TEXT NOT NULL, station TEXT, operator TEXT, slot TEXT, location TEXT, interface TEXT, serial TEXT COLLATE NOCASE, ap_version TEXT, isp_version TEXT, customer_version TEXT, param_path TEXT, param_sha256 TEXT, param_size INTEGER, isp_path TEXT, isp_sha256 TEXT, isp_size INTEGER, fw_path TEXT, fw_sha256 TEXT, fw_size INTEGER, result TEXT NOT NULL, exit_status INTEGER NOT NULL, last_log_line TEXT NOT NULL, log TEXT NOT NULL, read_back_sha256 TEXT, read_back_size INTEGER);
INSERT INTO runs VALUES('11111111-1111-4111-8111-111111111111','2026-12-01T08:00:00.000Z','2026-12-01T08:00:19.500Z','burn --verify','line 2, station 4',NULL,'A','1-1.2',NULL,'SN-OLD-1',NULL,'1.2.3.4',NULL,'param.txt','aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa',547,'core.bin','bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb',4096,'fw.brn','cccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc',39168,'ok',0,'Read Verify Success !!!','["ISP Write File OK !!!","Read Verify Success !!!"]','cccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc',39168);
INSERT INTO runs VALUES('22222222-2222-4222-8222-222222222222','2026-12-01T07:59:00.000Z','2026-12-01T07:59:02.000Z','burn',NULL,NULL,NULL,'1',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,'failed',1,'ISP Busy!','["ISP Busy!"]',NULL,NULL);
CREATE INDEX runs_by_start ON runs (started_utc);
CREATE INDEX runs_by_serial ON runs (serial, started_utc);
COMMIT;
