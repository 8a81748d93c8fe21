-- The shop's catalogue tables that Vendaro writes (an OpenCart 3.0 layout: MyISAM, many NOT NULL
-- columns without defaults, relying on the shop's session sql_mode). Written for tests and the demo.
CREATE TABLE oc_product (
  product_id INT(11) NOT NULL AUTO_INCREMENT,
  model VARCHAR(64) NOT NULL,
  sku VARCHAR(64) NOT NULL,
  upc VARCHAR(12) NOT NULL,
  ean VARCHAR(14) NOT NULL,
  jan VARCHAR(13) NOT NULL,
  isbn VARCHAR(17) NOT NULL,
  mpn VARCHAR(64) NOT NULL,
  location VARCHAR(128) NOT NULL,
  quantity INT(4) NOT NULL DEFAULT 0,
  stock_status_id INT(11) NOT NULL,
  image VARCHAR(255) DEFAULT NULL,
  manufacturer_id INT(11) NOT NULL,
  shipping TINYINT(1) NOT NULL DEFAULT 1,
  price DECIMAL(15,4) NOT NULL DEFAULT 0.0000,
  points INT(8) NOT NULL DEFAULT 0,
  tax_class_id INT(11) NOT NULL,
  date_available DATE NOT NULL DEFAULT '0000-00-00',
  weight DECIMAL(15,8) NOT NULL DEFAULT 0.00000000,
  weight_class_id INT(11) NOT NULL DEFAULT 0,
  length DECIMAL(15,8) NOT NULL DEFAULT 0.00000000,
  width DECIMAL(15,8) NOT NULL DEFAULT 0.00000000,
  height DECIMAL(15,8) NOT NULL DEFAULT 0.00000000,
  length_class_id INT(11) NOT NULL DEFAULT 0,
  subtract TINYINT(1) NOT NULL DEFAULT 1,
  minimum INT(11) NOT NULL DEFAULT 1,
  sort_order INT(11) NOT NULL DEFAULT 0,
  status TINYINT(1) NOT NULL DEFAULT 0,
  viewed INT(5) NOT NULL DEFAULT 0,
  date_added DATETIME NOT NULL,
  date_modified DATETIME NOT NULL,
  PRIMARY KEY (product_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;

CREATE TABLE oc_product_description (
  product_id INT(11) NOT NULL,
  language_id INT(11) NOT NULL,
  name VARCHAR(255) NOT NULL,
  description TEXT NOT NULL,
  tag TEXT NOT NULL,
  meta_title VARCHAR(255) NOT NULL,
  meta_description VARCHAR(255) NOT NULL,
  meta_keyword VARCHAR(255) NOT NULL,
  PRIMARY KEY (product_id, language_id),
  KEY name (name)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;

CREATE TABLE oc_product_to_store (
  product_id INT(11) NOT NULL,
  store_id INT(11) NOT NULL DEFAULT 0,
  PRIMARY KEY (product_id, store_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;

CREATE TABLE oc_product_to_category (
  product_id INT NOT NULL,
  category_id INT NOT NULL,
  PRIMARY KEY (product_id, category_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;

CREATE TABLE oc_option (
  option_id INT(11) NOT NULL AUTO_INCREMENT,
  type VARCHAR(32) NOT NULL,
  sort_order INT(3) NOT NULL,
  PRIMARY KEY (option_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;

CREATE TABLE oc_option_description (
  option_id INT(11) NOT NULL,
  language_id INT(11) NOT NULL,
  name VARCHAR(128) NOT NULL,
  PRIMARY KEY (option_id, language_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;

CREATE TABLE oc_option_value (
  option_value_id INT(11) NOT NULL AUTO_INCREMENT,
  option_id INT(11) NOT NULL,
  image VARCHAR(255) NOT NULL,
  sort_order INT(3) NOT NULL,
  PRIMARY KEY (option_value_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;

CREATE TABLE oc_option_value_description (
  option_value_id INT(11) NOT NULL,
  language_id INT(11) NOT NULL,
  option_id INT(11) NOT NULL,
  name VARCHAR(128) NOT NULL,
  PRIMARY KEY (option_value_id, language_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;

CREATE TABLE oc_product_option (
  product_option_id INT(11) NOT NULL AUTO_INCREMENT,
  product_id INT(11) NOT NULL,
  option_id INT(11) NOT NULL,
  value TEXT NOT NULL,
  required TINYINT(1) NOT NULL,
  PRIMARY KEY (product_option_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;

CREATE TABLE oc_product_option_value (
  product_option_value_id INT(11) NOT NULL AUTO_INCREMENT,
  product_option_id INT(11) NOT NULL,
  product_id INT(11) NOT NULL,
  option_id INT(11) NOT NULL,
  option_value_id INT(11) NOT NULL,
  quantity INT(3) NOT NULL,
  subtract TINYINT(1) NOT NULL,
  price DECIMAL(15,4) NOT NULL,
  price_prefix VARCHAR(1) NOT NULL,
  points INT(8) NOT NULL,
  points_prefix VARCHAR(1) NOT NULL,
  weight DECIMAL(15,8) NOT NULL,
  weight_prefix VARCHAR(1) NOT NULL,
  PRIMARY KEY (product_option_value_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;

CREATE TABLE oc_product_image (
  product_image_id INT(11) NOT NULL AUTO_INCREMENT,
  product_id INT(11) NOT NULL,
  image VARCHAR(255) DEFAULT NULL,
  sort_order INT(3) NOT NULL DEFAULT 0,
  PRIMARY KEY (product_image_id),
  KEY product_id (product_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4;

-- The catalogue around the products: categories (with their closure table), brands, search-friendly
-- addresses and stock statuses, as OpenCart 3.0 installs them.
CREATE TABLE oc_category (
  category_id INT(11) NOT NULL AUTO_INCREMENT,
  image VARCHAR(255) DEFAULT NULL,
  parent_id INT(11) NOT NULL DEFAULT 0,
  top TINYINT(1) NOT NULL,
  `column` INT(3) NOT NULL,
  sort_order INT(3) NOT NULL DEFAULT 0,
  status TINYINT(1) NOT NULL,
  date_added DATETIME NOT NULL,
  date_modified DATETIME NOT NULL,
  PRIMARY KEY (category_id),
  KEY parent_id (parent_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_category_description (
  category_id INT(11) NOT NULL,
  language_id INT(11) NOT NULL,
  name VARCHAR(255) NOT NULL,
  description TEXT NOT NULL,
  meta_title VARCHAR(255) NOT NULL,
  meta_description VARCHAR(255) NOT NULL,
  meta_keyword VARCHAR(255) NOT NULL,
  PRIMARY KEY (category_id, language_id),
  KEY name (name)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_category_path (
  category_id INT(11) NOT NULL,
  path_id INT(11) NOT NULL,
  level INT(11) NOT NULL,
  PRIMARY KEY (category_id, path_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_category_to_store (
  category_id INT(11) NOT NULL,
  store_id INT(11) NOT NULL,
  PRIMARY KEY (category_id, store_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_category_to_layout (
  category_id INT(11) NOT NULL,
  store_id INT(11) NOT NULL,
  layout_id INT(11) NOT NULL,
  PRIMARY KEY (category_id, store_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_manufacturer (
  manufacturer_id INT(11) NOT NULL AUTO_INCREMENT,
  name VARCHAR(64) NOT NULL,
  image VARCHAR(255) DEFAULT NULL,
  sort_order INT(3) NOT NULL,
  PRIMARY KEY (manufacturer_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_manufacturer_to_store (
  manufacturer_id INT(11) NOT NULL,
  store_id INT(11) NOT NULL,
  PRIMARY KEY (manufacturer_id, store_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_seo_url (
  seo_url_id INT(11) NOT NULL AUTO_INCREMENT,
  store_id INT(11) NOT NULL,
  language_id INT(11) NOT NULL,
  query VARCHAR(255) NOT NULL,
  keyword VARCHAR(255) NOT NULL,
  PRIMARY KEY (seo_url_id),
  KEY query (query),
  KEY keyword (keyword)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE oc_stock_status (
  stock_status_id INT(11) NOT NULL AUTO_INCREMENT,
  language_id INT(11) NOT NULL,
  name VARCHAR(32) NOT NULL,
  PRIMARY KEY (stock_status_id, language_id)
) ENGINE=MyISAM DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

INSERT INTO oc_stock_status VALUES (7, 1, 'In Stock'), (8, 1, 'Pre-Order'), (5, 1, 'Out Of Stock'),
  (6, 1, '2-3 Days');
INSERT INTO oc_option VALUES (5, 'select', 2), (11, 'select', 1);
INSERT INTO oc_option_description VALUES (5, 1, 'Color'), (11, 1, 'Talla');
